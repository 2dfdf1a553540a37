#include "charsetdetector.h"

#include <QByteArray>
#include <QTextCodec>

#include <uchardet.h>

namespace {

// The detector reads this much; more adds time, not certainty.
constexpr qint64 kDetectorBytes = 65536;

// uchardet's names that Qt's codec layer knows by another name.
QTextCodec *codecForDetectedName(const QByteArray &name)
{
    static const struct
    {
        const char *detected;
        const char *qt;
    } renamed[] = {{"UHC", "windows-949"},
                   {"MAC-CYRILLIC", "x-mac-cyrillic"},
                   {"MAC-CENTRALEUROPE", "x-mac-centraleurroman"},
                   {"ASCII", "UTF-8"}};
    for (const auto &r : renamed) {
        if (name == r.detected)
            return QTextCodec::codecForName(r.qt);
    }
    return QTextCodec::codecForName(name);
}

}  // namespace

QTextCodec *detectCharset(const char *data, qint64 size)
{
    // One detector a thread, reset for each use: making one builds all of
    // uchardet's probers, which deep search would pay per file.
    struct Detector
    {
        uchardet_t handle = uchardet_new();
        ~Detector()
        {
            if (handle)
                uchardet_delete(handle);
        }
    };
    thread_local Detector detector;
    if (!detector.handle)
        return nullptr;
    uchardet_reset(detector.handle);
    QTextCodec *codec = nullptr;
    if (uchardet_handle_data(detector.handle, data, size_t(qMin(size, kDetectorBytes))) == 0) {
        uchardet_data_end(detector.handle);
        const QByteArray name(uchardet_get_charset(detector.handle));
        if (!name.isEmpty())
            codec = codecForDetectedName(name);
    }
    return codec;
}

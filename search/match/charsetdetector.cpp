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
    } renamed[] = {{"UHC", "windows-949"}, {"MAC-CYRILLIC", "x-mac-cyrillic"},
                   {"MAC-CENTRALEUROPE", "x-mac-centraleurroman"}, {"ASCII", "UTF-8"}};
    for (const auto &r : renamed) {
        if (name == r.detected)
            return QTextCodec::codecForName(r.qt);
    }
    return QTextCodec::codecForName(name);
}

} // namespace

QTextCodec *detectCharset(const char *data, qint64 size)
{
    uchardet_t detector = uchardet_new();
    if (!detector)
        return nullptr;
    QTextCodec *codec = nullptr;
    if (uchardet_handle_data(detector, data, size_t(qMin(size, kDetectorBytes))) == 0) {
        uchardet_data_end(detector);
        const QByteArray name(uchardet_get_charset(detector));
        if (!name.isEmpty())
            codec = codecForDetectedName(name);
    }
    uchardet_delete(detector);
    return codec;
}

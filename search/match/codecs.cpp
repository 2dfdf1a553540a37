#include "codecs.h"

#include "icuconvertercodec.h"

#include <QSet>
#include <QTextCodec>

#include <unicode/ucnv.h>

namespace {

constexpr int kQtUtf32Mib = 1017;
constexpr int kQtUtf32BigEndianMib = 1018;
constexpr int kQtUtf32LittleEndianMib = 1019;

bool isQtUtf32(const QTextCodec *codec)
{
    const int mib = codec->mibEnum();
    return mib == kQtUtf32Mib || mib == kQtUtf32BigEndianMib || mib == kQtUtf32LittleEndianMib;
}

// ICU converters left out because they decode too slowly for a deep search:
// ibm-25546 takes tens of microseconds per high byte, more the more come in a
// row (40 ms for 16 KiB where every other converter takes well under one), and
// would stall every deep search. A fixed list, so that the codecs searched do
// not depend on how busy the machine is.
bool decodesQuickly(const QTextCodec *codec)
{
    return codec->name() != "ibm-25546";
}

int surrogatePairs(const QString &text)
{
    int pairs = 0;
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && text.at(i + 1).isLowSurrogate()) {
            ++pairs;
            ++i;
        }
    }
    return pairs;
}

}  // namespace

QString decodeFresh(QTextCodec *codec, const QByteArray &bytes, QTextCodec::ConversionFlags flags)
{
    QTextCodec::ConverterState state(flags);
    return codec->toUnicode(bytes.constData(), bytes.size(), &state);
}

QTextCodec *utf8Codec()
{
    static QTextCodec *const codec = QTextCodec::codecForMib(106);
    return codec;
}

QByteArray encodeText(QTextCodec *codec, const QString &text)
{
    QByteArray bytes = codec->fromUnicode(text);
    if (isQtUtf32(codec))
        bytes.chop(4 * surrogatePairs(text));
    return bytes;
}

bool decodesCleanly(QTextCodec *codec, const QByteArray &bytes)
{
    const QString text = codec->toUnicode(bytes);
    return !text.contains(QChar::ReplacementCharacter) && encodeText(codec, text) == bytes;
}

void convertThroughCodecs(const QString &input, QTextCodec *source, QString &output,
                          QTextCodec *target)
{
    Q_ASSERT(source && target);
    const QString throughSource = source->toUnicode(encodeText(source, input));
    output = target->toUnicode(encodeText(target, throughSource));
}

const QList<QTextCodec *> &unlistedCodecs()
{
    static const QList<QTextCodec *> codecs = [] {
        QSet<QTextCodec *> seen;
        for (const int mib : QTextCodec::availableMibs())
            seen.insert(QTextCodec::codecForMib(mib));
        QList<QTextCodec *> found;
        const int count = ucnv_countAvailable();
        for (int i = 0; i < count; ++i) {
            const char *name = ucnv_getAvailableName(i);
            QTextCodec *codec = QTextCodec::codecForName(name);
            if (!codec)
                codec = IcuConverterCodec::forConverter(name);
            if (codec && !seen.contains(codec) && decodesQuickly(codec)) {
                seen.insert(codec);
                found.append(codec);
            }
        }
        return found;
    }();
    return codecs;
}

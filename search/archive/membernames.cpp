#include "membernames.h"

#include "charsetdetector.h"
#include "fileencoding.h"

#include <QTextCodec>

#include <cstdlib>

namespace {

constexpr ushort kVisibleNul = 0x2400;  // SYMBOL FOR NULL

QByteArray environmentLocale()
{
    for (const char *name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const QByteArray value = qgetenv(name);
        if (!value.isEmpty())
            return value;
    }
    return QByteArray();
}

QTextCodec *firstCodec(std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        if (QTextCodec *codec = QTextCodec::codecForName(name))
            return codec;
    }
    return nullptr;
}

QTextCodec *defaultCodePage()
{
    return firstCodec({"IBM437", "IBM 437", "CP437"});
}

QString withVisibleNuls(QString text)
{
    return text.replace(QChar(0), QChar(kVisibleNul));
}

// The whole of `bytes`, NULs included (QString::fromUtf8 of a QByteArray
// stops at the first).
QString fromUtf8(const QByteArray &bytes)
{
    return withVisibleNuls(QString::fromUtf8(bytes.constData(), bytes.size()));
}

}  // namespace

QTextCodec *codePageForLocale(const QByteArray &localeName)
{
    // "language[_TERRITORY][.codeset][@modifier]"
    QByteArray name = localeName;
    const int cut = name.indexOf('.') >= 0 ? name.indexOf('.') : name.indexOf('@');
    if (cut >= 0)
        name.truncate(cut);
    const QByteArray language = name.left(name.indexOf('_') >= 0 ? name.indexOf('_') : name.size());
    const QByteArray territory = name.mid(language.size() + 1);
    if (language.isEmpty() || language == "C" || language == "POSIX")
        return nullptr;
    if (language == "zh") {
        if (territory == "TW" || territory == "HK" || territory == "MO")
            return firstCodec({"Big5", "Big5-HKSCS"});
        return firstCodec({"GBK", "GB18030"});
    }
    if (language == "ja")
        return firstCodec({"windows-31j", "Shift_JIS"});
    if (language == "ko")
        return firstCodec({"windows-949", "CP949", "EUC-KR"});
    if (language == "ru" || language == "uk" || language == "be" || language == "bg")
        return firstCodec({"IBM866", "CP866"});
    return defaultCodePage();
}

MemberNameDecoder::MemberNameDecoder(const ArchiveNameRules &rules) : codePage(rules.forcedCodec)
{
    if (codePage)
        return;
    if (!rules.localeName.isEmpty()) {
        codePage = codePageForLocale(rules.localeName);
        return;
    }
    // The process's locale does not change while it runs: asked once, not per archive.
    static QTextCodec *const environmentCodePage = codePageForLocale(environmentLocale());
    codePage = environmentCodePage;
}

void MemberNameDecoder::detectFrom(const QList<QByteArray> &legacyNames)
{
    if (codePage)
        return;
    const QByteArray sample = legacyNames.join('\n');
    if (!sample.isEmpty())
        codePage = detectCharset(sample.constData(), sample.size());
    if (!codePage)
        codePage = defaultCodePage();
}

bool MemberNameDecoder::isLegacy(const QByteArray &raw, bool utf8Flag) const
{
    return !utf8Flag && !isValidUtf8(raw.constData(), raw.size(), true);
}

QString MemberNameDecoder::decode(const QByteArray &raw, bool utf8Flag,
                                  const QByteArray &unicodePath)
{
    if (utf8Flag)
        return fromUtf8(raw);
    if (!unicodePath.isNull())
        return fromUtf8(unicodePath);
    if (!isLegacy(raw, utf8Flag))
        return fromUtf8(raw);
    if (!codePage)
        detectFrom({raw});
    return withVisibleNuls(codePage->toUnicode(raw));
}

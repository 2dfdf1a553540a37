#include "membernames.h"

#include "charsetdetector.h"
#include "fileencoding.h"

#include <QTextCodec>

#include <cstdlib>
#include <initializer_list>

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

// The code pages of each family, the likelier first where a name reads
// alike in several.
QList<QTextCodec *> familyPages(NameMaker maker)
{
    static const auto load = [](std::initializer_list<const char *> names) {
        QList<QTextCodec *> pages;
        for (const char *name : names) {
            if (QTextCodec *codec = QTextCodec::codecForName(name))
                pages.append(codec);
        }
        return pages;
    };
    static const QList<QTextCodec *> dos = load(
            {"IBM437", "IBM850", "IBM852", "IBM866", "windows-31j", "GBK", "windows-949", "Big5"});
    static const QList<QTextCodec *> unixLike = load(
            {"ISO-8859-1",  "ISO-8859-15", "ISO-8859-2",  "KOI8-R",     "KOI8-U",     "ISO-8859-5",
             "ISO-8859-7",  "ISO-8859-9",  "ISO-8859-13", "ISO-8859-4", "ISO-8859-3", "ISO-8859-10",
             "ISO-8859-14", "ISO-8859-16", "ISO-8859-6",  "ISO-8859-8", "EUC-JP",     "EUC-KR",
             "GBK",         "Big5",        "Shift_JIS"});
    return maker == NameMaker::Dos ? dos : unixLike;
}

// What a detector's pick stands for in a family that does not have it: the
// page of the same script there (a DOS maker's Japanese is CP932, whatever
// the detector calls it). Null where the family has none of that script.
QTextCodec *familyCounterpart(QTextCodec *picked, NameMaker maker)
{
    static const struct
    {
        const char *picked;
        const char *dos;
        const char *unixLike;
    } counterparts[] = {
            {"Shift_JIS", "windows-31j", "Shift_JIS"},
            {"EUC-JP", "windows-31j", "EUC-JP"},
            {"ISO-2022-JP", "windows-31j", "EUC-JP"},
            {"GB18030", "GBK", "GBK"},
            {"GB2312", "GBK", "GBK"},
            {"EUC-KR", "windows-949", "EUC-KR"},
            {"windows-949", "windows-949", "EUC-KR"},
            {"Big5", "Big5", "Big5"},
            {"windows-1251", "IBM866", nullptr},
            {"KOI8-R", "IBM866", "KOI8-R"},
            {"ISO-8859-5", "IBM866", "ISO-8859-5"},
            {"IBM866", "IBM866", nullptr},
            {"windows-1250", "IBM852", "ISO-8859-2"},
            {"ISO-8859-2", "IBM852", "ISO-8859-2"},
            {"windows-1252", nullptr, "ISO-8859-1"},
            {"ISO-8859-1", nullptr, "ISO-8859-1"},
            {"ISO-8859-15", nullptr, "ISO-8859-15"},
            {"windows-1253", nullptr, "ISO-8859-7"},
            {"windows-1254", nullptr, "ISO-8859-9"},
            {"windows-1257", nullptr, "ISO-8859-13"},
    };
    if (!picked)
        return nullptr;
    if (familyPages(maker).contains(picked))
        return picked;
    for (const auto &c : counterparts) {
        const char *name = maker == NameMaker::Dos ? c.dos : c.unixLike;
        if (name && QTextCodec::codecForName(c.picked) == picked)
            return QTextCodec::codecForName(name);
    }
    return nullptr;
}

// The text of `sample` in `page`; null when a byte does not decode there.
QString cleanText(QTextCodec *page, const QByteArray &sample)
{
    QTextCodec::ConverterState state;
    const QString text = page->toUnicode(sample.constData(), sample.size(), &state);
    if (state.invalidChars > 0 || state.remainingChars > 0)
        return QString();
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u == 0xFFFD || (u >= 0x80 && u < 0xA0) || (u < 0x20 && u != '\n'))
            return QString();
    }
    return text;
}

// A letter's script, the scripts written together in East Asia as one.
int scriptGroup(QChar c)
{
    switch (c.script()) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Hangul:
    case QChar::Script_Bopomofo:
    case QChar::Script_Common:
        return QChar::Script_Han;
    default:
        return c.script();
    }
}

// How much `text` reads like names, per byte it came from: letters,
// digits and the usual marks gain (a letter of East Asia, two bytes in every
// page that has it, twice); other symbols, a capital right after a small
// letter and a change of script inside a word lose.
int plausibility(const QString &text)
{
    int score = 0;
    QChar previous;
    for (const QChar c : text) {
        if (c.isLetter()) {
            score += scriptGroup(c) == QChar::Script_Han ? 4 : 2;
            if (previous.isLetter()) {
                if (previous.isLower() && c.isUpper())
                    score -= 4;
                if (scriptGroup(previous) != scriptGroup(c))
                    score -= 4;
            }
        } else if (c.isDigit() || c.isSpace() || QStringLiteral("._-()[]/,'&+~!").contains(c)) {
            score += 1;
        } else {
            score -= 2;
        }
        previous = c;
    }
    return score;
}

// The page of `maker`'s family `sample` (names joined by line feeds) reads
// best in: among the family's pages that read it cleanly, the likeliest
// reading, the detector's pick (or its counterpart in the family) first
// where it is as likely as any.
QTextCodec *detectAmongFamily(const QByteArray &sample, NameMaker maker)
{
    QTextCodec *picked = familyCounterpart(detectCharset(sample.constData(), sample.size()), maker);
    constexpr int kPickBonus = 4;
    QTextCodec *best = nullptr;
    int bestScore = 0;
    QList<QTextCodec *> pages = familyPages(maker);
    if (picked)
        pages.prepend(picked);
    for (QTextCodec *page : qAsConst(pages)) {
        const QString text = cleanText(page, sample);
        if (text.isNull())
            continue;
        const int score = plausibility(text) + (page == picked ? kPickBonus : 0);
        if (!best || score > bestScore) {
            best = page;
            bestScore = score;
        }
    }
    return best ? best : familyPages(maker).value(0, defaultCodePage());
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

QTextCodec *charsetOfLocale(const QByteArray &localeName)
{
    const int dot = localeName.indexOf('.');
    if (dot < 0)
        return nullptr;
    QByteArray charset = localeName.mid(dot + 1);
    charset.truncate(charset.indexOf('@') >= 0 ? charset.indexOf('@') : charset.size());
    const QByteArray folded = charset.toLower().replace("-", "");
    if (charset.isEmpty() || folded == "utf8")
        return nullptr;
    return QTextCodec::codecForName(charset);
}

MemberNameDecoder::MemberNameDecoder(const ArchiveNameRules &rules)
    : dosPage(rules.forcedCodec), unixPage(rules.forcedCodec)
{
    if (rules.forcedCodec)
        return;
    if (!rules.localeName.isEmpty()) {
        dosPage = codePageForLocale(rules.localeName);
        unixPage = charsetOfLocale(rules.localeName);
        return;
    }
    // The process's locale does not change while it runs: asked once, not per archive.
    static QTextCodec *const environmentDosPage = codePageForLocale(environmentLocale());
    static QTextCodec *const environmentUnixPage = charsetOfLocale(environmentLocale());
    dosPage = environmentDosPage;
    unixPage = environmentUnixPage;
}

void MemberNameDecoder::detectFrom(const QList<QByteArray> &legacyNames, NameMaker maker)
{
    QTextCodec *&page = maker == NameMaker::Dos ? dosPage : unixPage;
    if (page)
        return;
    page = detectAmongFamily(legacyNames.join('\n'), maker);
}

bool MemberNameDecoder::isLegacy(const QByteArray &raw, bool utf8Flag) const
{
    return !utf8Flag && !isValidUtf8(raw.constData(), raw.size(), true);
}

QString MemberNameDecoder::decode(const QByteArray &raw, NameMaker maker, bool utf8Flag,
                                  const QByteArray &unicodePath)
{
    if (utf8Flag)
        return fromUtf8(raw);
    if (!unicodePath.isNull())
        return fromUtf8(unicodePath);
    if (!isLegacy(raw, utf8Flag))
        return fromUtf8(raw);
    if (!pageOf(maker))
        detectFrom({raw}, maker);
    return withVisibleNuls(pageOf(maker)->toUnicode(raw));
}

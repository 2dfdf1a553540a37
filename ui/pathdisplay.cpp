#include "pathdisplay.h"

#include "pathcodec.h"
#include "visiblecontrols.h"

#include <QStringList>
#include <QTextCodec>

#include <algorithm>

namespace {

const char *codePageName(const QLocale &locale)
{
    switch (locale.language()) {
    case QLocale::C:
        return nullptr;
    case QLocale::Chinese:
        return locale.script() == QLocale::TraditionalChineseScript ? "Big5" : "GBK";
    case QLocale::Japanese:
        return "Shift_JIS";
    case QLocale::Korean:
        return "windows-949";
    case QLocale::Thai:
        return "windows-874";
    case QLocale::Vietnamese:
        return "windows-1258";
    case QLocale::Greek:
        return "windows-1253";
    case QLocale::Turkish:
    case QLocale::Azerbaijani:
        return "windows-1254";
    case QLocale::Hebrew:
        return "windows-1255";
    case QLocale::Arabic:
    case QLocale::Persian:
    case QLocale::Urdu:
        return "windows-1256";
    case QLocale::Estonian:
    case QLocale::Latvian:
    case QLocale::Lithuanian:
        return "windows-1257";
    case QLocale::Albanian:
    case QLocale::Bosnian:
    case QLocale::Croatian:
    case QLocale::Czech:
    case QLocale::Hungarian:
    case QLocale::Polish:
    case QLocale::Romanian:
    case QLocale::Slovak:
    case QLocale::Slovenian:
        return "windows-1250";
    default:
        // Russian, Ukrainian, Bulgarian, Serbian in Cyrillic and the others
        // written in it; the Western languages.
        return locale.script() == QLocale::CyrillicScript ? "windows-1251" : "windows-1252";
    }
}

// A character no name is written with: a control, a private-use or an
// unassigned code point (where a code page maps a byte it does not define).
bool isUnwritten(QChar c)
{
    const QChar::Category category = c.category();
    return category == QChar::Other_Control || category == QChar::Other_PrivateUse
            || category == QChar::Other_NotAssigned;
}

// `bytes` decoded by `codec` when every byte decodes to a written character
// and encodes back to itself; a null string otherwise.
QString decodedWhole(QTextCodec *codec, const QByteArray &bytes)
{
    QTextCodec::ConverterState state(QTextCodec::ConvertInvalidToNull);
    QString text = codec->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars != 0 || state.remainingChars != 0
        || std::any_of(text.cbegin(), text.cend(), isUnwritten)
        || codec->fromUnicode(text) != bytes)
        return QString();
    return text;
}

// A character that shows nothing, or turns the text around it, where it
// stands in a name: controls, line and paragraph separators, the
// bidirectional controls (U+202E makes "invoice\u202Efdp.sh" read
// "invoicehs.pdf") and the other invisible format characters and fillers.
// The joiners U+200C and U+200D are left: scripts and emoji are written with them.
bool isHiddenInName(uint code)
{
    if (code == 0x200C || code == 0x200D)
        return false;
    switch (QChar::category(code)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return code == 0x115F || code == 0x1160 || code == 0x3164 || code == 0xFFA0;
    }
}

// `text` with its controls shown as everywhere else (visiblecontrols.h) and
// each other hidden character written as "<U+XXXX>".
QString withHiddenCharactersShown(const QString &input)
{
    const auto plain = [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; };
    if (std::all_of(input.begin(), input.end(), plain))
        return input;
    const QString text = withVisibleControls(input);
    QString shown;
    shown.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        uint code = text.at(i).unicode();
        const bool pair = QChar::isHighSurrogate(code) && i + 1 < text.size()
                && text.at(i + 1).isLowSurrogate();
        if (pair)
            code = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
        if (isHiddenInName(code))
            shown += QStringLiteral("<U+%1>").arg(code, 4, 16, QLatin1Char('0')).toUpper();
        else
            shown += pair ? text.mid(i, 2) : text.mid(i, 1);
        i += pair ? 1 : 0;
    }
    return shown;
}

QString markedOddBytes(QString part)
{
    for (int i = 0; i < part.size(); ++i) {
        if (undecodedByteAt(part, i) >= 0)
            part[i] = QChar::ReplacementCharacter;
    }
    return part;
}

}  // namespace

QTextCodec *legacyCodePage(const QLocale &locale)
{
    const char *name = codePageName(locale);
    return name ? QTextCodec::codecForName(name) : nullptr;
}

QString displayPath(const QString &path, const QLocale &locale)
{
    if (!hasUndecodedBytes(path))
        return withHiddenCharactersShown(path);
    QTextCodec *const legacy = legacyCodePage(locale);
    QStringList parts = path.split(QLatin1Char('/'));
    for (QString &part : parts) {
        if (!hasUndecodedBytes(part))
            continue;
        const QString decoded = legacy ? decodedWhole(legacy, encodePath(part)) : QString();
        part = decoded.isNull() ? markedOddBytes(part) : decoded;
    }
    return withHiddenCharactersShown(parts.join(QLatin1Char('/')));
}

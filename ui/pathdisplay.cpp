#include "pathdisplay.h"

#include "pathcodec.h"

#include <QStandardItem>
#include <QStringList>
#include <QTextCodec>

#include <algorithm>

namespace {

constexpr int exactPathRole = Qt::UserRole + 1;

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
    const QString text = codec->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars != 0 || state.remainingChars != 0
        || std::any_of(text.begin(), text.end(), isUnwritten) || codec->fromUnicode(text) != bytes)
        return QString();
    return text;
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
        return path;
    QTextCodec *const legacy = legacyCodePage(locale);
    QStringList parts = path.split(QLatin1Char('/'));
    for (QString &part : parts) {
        if (!hasUndecodedBytes(part))
            continue;
        const QString decoded = legacy ? decodedWhole(legacy, encodePath(part)) : QString();
        part = decoded.isNull() ? markedOddBytes(part) : decoded;
    }
    return parts.join(QLatin1Char('/'));
}

QStandardItem *pathCell(const QString &shown, const QString &exact)
{
    auto *cell = shown.isEmpty() ? new QStandardItem : new QStandardItem(shown);
    if (exact != shown.trimmed())
        cell->setData(exact, exactPathRole);
    return cell;
}

QString exactPath(const QStandardItem *cell)
{
    if (!cell)
        return QString();
    const QVariant exact = cell->data(exactPathRole);
    return exact.isValid() ? exact.toString() : cell->text().trimmed();
}

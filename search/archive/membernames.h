#ifndef MEMBERNAMES_H
#define MEMBERNAMES_H

#include "archivescope.h"

#include <QByteArray>
#include <QList>
#include <QString>

class QTextCodec;

// The code page that legacy archive tools of the locale's language wrote
// names in: GBK for zh_CN and zh_SG, Big5 for zh_TW and zh_HK, CP932 for
// Japanese, CP949 for Korean, CP866 for Russian, Ukrainian, Belarusian and
// Bulgarian, CP437 for every other language. Null when the locale names no
// language ("C", "C.UTF-8", "POSIX", empty).
QTextCodec *codePageForLocale(const QByteArray &localeName);

// The charset a Unix locale names after its dot ("ru_RU.KOI8-R" KOI8-R,
// "ja_JP.eucJP" EUC-JP); null when it names none or UTF-8.
QTextCodec *charsetOfLocale(const QByteArray &localeName);

// The two families of tools that write names without saying their encoding:
// DOS and Windows tools write an OEM code page (CP437, CP850, CP852, CP866,
// CP932, CP936, CP949, CP950), never a Windows ANSI one; Unix tools write
// the charset of their locale (ISO-8859-x, KOI8-R/U, EUC-JP/KR/CN, Big5,
// GBK, Shift_JIS).
enum class NameMaker { Dos, Unix };

// Reads the member names of one archive as their makers wrote them, in this
// order: a name flagged as UTF-8 is UTF-8; a Unicode path recorded beside the
// name is that path; a name that is valid UTF-8 is UTF-8, whatever code page
// was forced; any other name is in the forced code page, else in the one of
// its maker's family that the locale names (a DOS name by the locale's
// language, a Unix name by the locale's charset), else in the one of that
// family a charset detector picks over all of the archive's legacy names.
class MemberNameDecoder
{
public:
    explicit MemberNameDecoder(const ArchiveNameRules &rules);

    // True when the code page of `maker`'s names is still to be picked.
    bool wantsSample(NameMaker maker) const { return !pageOf(maker); }
    // Picks the code page of `maker`'s names from the archive's legacy names
    // taken together.
    void detectFrom(const QList<QByteArray> &legacyNames, NameMaker maker);

    // True when `raw` is read in the code page: neither flagged nor UTF-8.
    bool isLegacy(const QByteArray &raw, bool utf8Flag) const;
    // The name's text; a NUL in it shows as U+2400 so that it cuts nothing.
    QString decode(const QByteArray &raw, NameMaker maker, bool utf8Flag = false,
                   const QByteArray &unicodePath = QByteArray());

private:
    QTextCodec *pageOf(NameMaker maker) const
    {
        return maker == NameMaker::Dos ? dosPage : unixPage;
    }

    QTextCodec *dosPage = nullptr;
    QTextCodec *unixPage = nullptr;
};

#endif  // MEMBERNAMES_H

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

// Reads the member names of one archive as their makers wrote them, in this
// order: a name flagged as UTF-8 is UTF-8; a Unicode path recorded beside the
// name is that path; a name that is valid UTF-8 is UTF-8, whatever code page
// was forced; any other name is in the forced code page, else in that of the
// locale's language, else in the one a charset detector picks over all of the
// archive's legacy names.
class MemberNameDecoder
{
public:
    explicit MemberNameDecoder(const ArchiveNameRules &rules);

    // True when the code page is still to be picked from the names.
    bool wantsSample() const { return !codePage; }
    // Picks the code page from the archive's legacy names taken together.
    void detectFrom(const QList<QByteArray> &legacyNames);

    // True when `raw` is read in the code page: neither flagged nor UTF-8.
    bool isLegacy(const QByteArray &raw, bool utf8Flag) const;
    // The name's text; a NUL in it shows as U+2400 so that it cuts nothing.
    QString decode(const QByteArray &raw, bool utf8Flag = false,
                   const QByteArray &unicodePath = QByteArray());

private:
    QTextCodec *codePage = nullptr;
};

#endif  // MEMBERNAMES_H

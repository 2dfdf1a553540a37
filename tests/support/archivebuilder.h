#ifndef ARCHIVEBUILDER_H
#define ARCHIVEBUILDER_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Writes archives of the formats libarchive writes (tar with or without a
// compression filter, cpio, 7z, ISO 9660, one compressed file) and, through
// Debian's tools, lzop's files (lzop), CAB (gcab) and encrypted 7z (7z). Member names ending in "/"
// make folders. Any failure ends the test run.
class ArchiveBuilder
{
public:
    using Members = QList<QPair<QByteArray, QByteArray>>;  // name, data
    // The last modification every member is given.
    static constexpr qint64 kMemberTime = 1700000000;

    // The format follows the suffix of `path` as the search reads it.
    static QString write(const QString &path, const Members &members);

    // A 7z or ZIP archive (by the suffix) whose data (and with `headers`, a
    // 7z's names too) is encrypted with `password`.
    static QString writeEncrypted(const QString &path, const Members &members,
                                  const QByteArray &password, bool headers);
};

#endif  // ARCHIVEBUILDER_H

#ifndef ZIPBUILDER_H
#define ZIPBUILDER_H

#include <QByteArray>
#include <QString>

// Writes a ZIP archive for tests (its folder made when missing), one deflated
// member at a time. A member
// name ending in "/" makes a directory entry. Any failure ends the test run.
class ZipBuilder
{
public:
    explicit ZipBuilder(const QString &path);
    ~ZipBuilder();
    ZipBuilder(const ZipBuilder &) = delete;
    ZipBuilder &operator=(const ZipBuilder &) = delete;

    // Members are dated ArchiveBuilder::kMemberTime in DOS form (local
    // time), and also in an extended timestamp field once one is set.
    ZipBuilder &add(const QByteArray &name, const QByteArray &data = QByteArray());
    ZipBuilder &setExtendedTime(qint64 seconds);
    // A member of `size` zero bytes, written in chunks.
    ZipBuilder &addZeros(const QByteArray &name, qint64 size);
    // Finishes the archive; returns its path.
    QString close();

private:
    void begin(const QByteArray &name);
    void finish();

    QString archivePath;
    void *zip = nullptr;
    QByteArray timestampField;
};

#endif  // ZIPBUILDER_H

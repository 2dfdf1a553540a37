#ifndef ZIPPACKAGE_H
#define ZIPPACKAGE_H

#include "documentproblem.h"

#include <QByteArray>

#include <map>
#include <memory>

// The parts of a ZIP-based document (OOXML, OpenDocument, EPUB) read with
// minizip through a descriptor that stays the caller's: parts are looked up
// by name and streamed, one open at a time, never held whole.
class ZipPackage
{
public:
    explicit ZipPackage(int fd);
    ~ZipPackage();
    ZipPackage(const ZipPackage &) = delete;
    ZipPackage &operator=(const ZipPackage &) = delete;

    // Why the package could not be opened; none when it is open.
    const DocumentProblem &openProblem() const { return problem; }
    // The stored name of a part: `name` itself, else the one that equals it
    // ignoring case (package names are case-insensitive); empty when none.
    QByteArray find(const QByteArray &name) const;
    // Opens a part found by `find` for `read`; false with `problem` set
    // (encrypted, damaged) when it cannot be read.
    bool open(const QByteArray &name, DocumentProblem *problem);
    // Reads up to `max` next bytes of the open part: 0 at its end, less than
    // 0 when its data is damaged.
    qint64 read(char *buffer, qint64 max);
    // Closes the open part (nothing when none is open).
    void close();

private:
    struct Stream;
    struct Entry;

    std::unique_ptr<Stream> stream;
    void *zip = nullptr;
    std::map<QByteArray, std::unique_ptr<Entry>> entries;
    bool partOpen = false;
    DocumentProblem problem;
};

#endif  // ZIPPACKAGE_H

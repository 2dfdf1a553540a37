#ifndef TARHEADERS_H
#define TARHEADERS_H

#include <QByteArray>
#include <QtGlobal>

#include <functional>
#include <vector>

// One member as its tar header names it.
struct TarHeader
{
    enum class Kind { File, Folder, Link };

    QByteArray name;  // printable ASCII, "/" between folders, a folder's ending in "/"
    Kind kind = Kind::File;
    qint64 modified = 0;  // seconds since the epoch
};

// How reading the headers ended.
enum class TarHeaders {
    Listed,    // every member named, in the archive's order
    NotPlain,  // anything else: left to the archive walk and its diagnostics
    Stopped,   // `stopped` said so
};

// Reads the member headers of the tar archive open at `fd` (`size` bytes
// long), uncompressed or in one gzip stream, with this program's own
// parser: the data between them is inflated and passed over, never kept,
// at most `maxExpanded` bytes of it. Listed only for a plain archive: POSIX
// or GNU ustar headers with good checksums, of files, folders and symbolic
// links only, names of printable ASCII in the name field alone, sizes and
// times in octal, at least one member, ended by a zero block within one
// gzip stream. NotPlain for anything else (pax and GNU long names, links
// to other members, devices, prefixes, other encodings, damage, a stream
// too long), which the archive walk reads and says what it makes of.
// `stopped` is asked between pieces of the stream.
TarHeaders readPlainTarHeaders(int fd, qint64 size, qint64 maxExpanded,
                               std::vector<TarHeader> *headers,
                               const std::function<bool()> &stopped);

#endif  // TARHEADERS_H

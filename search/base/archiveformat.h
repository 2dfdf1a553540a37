#ifndef ARCHIVEFORMAT_H
#define ARCHIVEFORMAT_H

#include <QByteArray>
#include <QString>

// The kinds of archive the search looks into, told by the name's suffix
// (ignoring case). A file of one of these kinds is never read as text: its
// members are matched by name and searched instead.
enum class ArchiveFormat {
    None,
    Zip,  // .zip and the formats built on it: .jar, .war, .ear, .apk, .zipx, .whl, .xpi
    Rar,
    SevenZip,
    // .tar, also compressed: .tar.gz/.tgz, .tar.bz2/.tbz2/.tbz, .tar.xz/.txz,
    // .tar.zst/.tzst, .tar.Z/.taz, .tar.lz4, .tar.lz/.tlz, .tar.lzma, .tar.lzo/.tzo
    Tar,
    Cpio,
    Iso,
    Cab,
    Ar,    // .ar, .a (static libraries), .deb (which holds data.tar.*)
    Rpm,   // a cpio archive behind the package's header
    Xar,   // .xar, .pkg
    Lha,   // .lzh, .lha
    Warc,  // web archives
    // One compressed file: .gz, .bz2, .xz, .zst, .Z, .lz4, .lz, .lzma, .lzo
    Compressed,
    // A program (.exe) that may carry a ZIP, 7z or RAR archive after its
    // code; it is searched as a file too. Only on disk: inside an archive it
    // is a file like any other.
    SelfExtracting,
    // The first piece of a ZIP or 7z archive cut into pieces of bytes
    // (.zip.001, .7z.001); the others follow it by number. Only on disk.
    Split,
};

// The rule the directory listing and the archive search share: for a name as
// the file system holds it, and for a member's name as decoded (ASCII
// suffixes, so both give the same answer for the same name).
ArchiveFormat archiveFormatOf(const QByteArray &name);
ArchiveFormat archiveFormatOf(const QString &name);

inline bool isArchiveName(const QByteArray &name)
{
    return archiveFormatOf(name) != ArchiveFormat::None;
}

// The kind of a member of an archive named so: what a program or a piece
// holds cannot be read from inside another archive, so those are files.
ArchiveFormat nestedArchiveFormatOf(const QString &name);

// The archive a piece named `name` (.zip.001, .7z.001) is the first of.
ArchiveFormat splitArchiveFormatOf(const QString &name);

// The name of the one member of a compressed file: its own name without the
// compression suffix ("notes.txt.gz" holds "notes.txt").
QString compressedMemberName(const QString &name);

#endif  // ARCHIVEFORMAT_H

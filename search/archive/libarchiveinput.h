#ifndef LIBARCHIVEINPUT_H
#define LIBARCHIVEINPUT_H

#include "bytesource.h"

#include <QByteArray>
#include <QList>

#include <memory>
#include <utility>
#include <vector>

struct archive;
class ArchiveFile;
class DecodeAhead;

// What libarchive reads an archive from, without any path of its own: the
// volumes of a set opened one at a time relative to their folder (each
// without blocking, regular files only), one file already open, or the
// bytes a stream pulls (an archive inside an archive), or a compressed
// file's bytes as a thread decodes them ahead.
class LibarchiveInput
{
public:
    static std::unique_ptr<LibarchiveInput> volumes(int folderFd, const QList<QByteArray> &names);
    static std::unique_ptr<LibarchiveInput> file(const ArchiveFile &file);
    static std::unique_ptr<LibarchiveInput> stream(ByteSource::Reader read);
    static std::unique_ptr<LibarchiveInput> decoded(std::unique_ptr<DecodeAhead> ahead);
    ~LibarchiveInput();

    // Opens `reader` on this input, which must outlive it.
    int open(archive *reader);

    struct Part;

private:
    LibarchiveInput() = default;
    std::vector<std::unique_ptr<Part>> parts;
    ByteSource::Reader read;
    std::vector<char> buffer;
    std::pair<ByteSource::Reader *, std::vector<char> *> streamClient;
    std::unique_ptr<DecodeAhead> ahead;
};

#endif  // LIBARCHIVEINPUT_H

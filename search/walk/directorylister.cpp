#include "directorylister.h"

#include "archiveformat.h"
#include "pathcodec.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

enum class Kind { Directory, File, LinkToDirectory, OtherLink, System };

Kind kindOf(int dirFd, const char *name, unsigned char type)
{
    struct stat info;
    if (type == DT_UNKNOWN) {
        if (fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            return Kind::System;
        type = S_ISDIR(info.st_mode)    ? DT_DIR
                : S_ISREG(info.st_mode) ? DT_REG
                : S_ISLNK(info.st_mode) ? DT_LNK
                                        : DT_FIFO;
    }
    switch (type) {
    case DT_DIR:
        return Kind::Directory;
    case DT_REG:
        return Kind::File;
    case DT_LNK:
        // A broken link counts as a system entry; the link itself is never listed
        // as a match, but a link to a folder is entered.
        if (fstatat(dirFd, name, &info, 0) != 0)
            return Kind::System;
        return S_ISDIR(info.st_mode) ? Kind::LinkToDirectory : Kind::OtherLink;
    default:
        return Kind::System;
    }
}

}  // namespace

void sortLikeQDir(QVector<ListedEntry> &entries)
{
    if (entries.size() < 2)
        return;
    struct Keyed
    {
        QString key;
        ListedEntry entry;
    };
    std::vector<Keyed> items;
    items.reserve(size_t(entries.size()));
    for (ListedEntry &entry : entries) {
        const QString key = entry.name.toLower();
        items.push_back(Keyed {key, std::move(entry)});
    }
    // Names equal but for case compare as equal, so their order is whatever
    // std::sort makes of the readdir order, exactly as in QDir.
    std::sort(items.begin(), items.end(),
              [](const Keyed &a, const Keyed &b) { return a.key.compare(b.key) < 0; });
    for (int i = 0; i < entries.size(); ++i)
        entries[i] = std::move(items[size_t(i)].entry);
}

DirectoryLister::DirectoryLister(std::shared_ptr<const NameFilter> names,
                                 const std::atomic_bool *cancel)
    : names(std::move(names)), cancel(cancel)
{
}

bool DirectoryLister::list(int folderFd, dev_t device, bool wantSubdirs, DirectoryListing *out)
{
    const FileSystemKind fileSystem = fileSystemKindOf(folderFd, device);
    out->procOrSysfs = fileSystem.procOrSysfs;
    out->pseudoFileSystem = fileSystem.pseudo;
    // getdents64 on the folder's own descriptor: no second descriptor and no
    // stream to set up, which opendir would cost for every folder.
    buffer.resize(kReadSize);
    QByteArray bytes;
    for (;;) {
        const ssize_t got = ::getdents64(folderFd, buffer.data(), buffer.size());
        if (got < 0)
            return false;
        if (got == 0)
            break;
        for (ssize_t at = 0; at < got;) {
            const auto *entry = reinterpret_cast<const struct dirent64 *>(buffer.data() + at);
            at += entry->d_reclen;
            if (cancel->load(std::memory_order_relaxed))
                return true;
            addEntry(folderFd, entry->d_name, entry->d_type, wantSubdirs, out, bytes);
        }
    }
    sortLikeQDir(out->subdirs);
    sortLikeQDir(out->matches);
    sortLikeQDir(out->archives);
    return true;
}

void DirectoryLister::addEntry(int folderFd, const char *name, unsigned char type, bool wantSubdirs,
                               DirectoryListing *out, QByteArray &bytes) const
{
    if (name[0] == '.')
        return;  // hidden, and "." and ".."
    const Kind kind = kindOf(folderFd, name, type);
    if (kind == Kind::System || kind == Kind::OtherLink)
        return;
    bytes = QByteArray(name, int(strlen(name)));
    QString decoded;
    if (kind == Kind::Directory || kind == Kind::LinkToDirectory) {
        if (wantSubdirs && !(kind == Kind::LinkToDirectory && out->procOrSysfs)) {
            decoded = decodePath(bytes);
            out->subdirs.append(ListedEntry {decoded, bytes, true});
        }
        if (kind == Kind::LinkToDirectory)
            return;
    }
    const bool isFolder = kind == Kind::Directory;
    if (names->accepts(bytes, decoded)) {
        if (decoded.isNull())
            decoded = decodePath(bytes);
        out->matches.append(ListedEntry {decoded, bytes, isFolder});
    }
    if (kind == Kind::File && isArchiveName(bytes)) {
        if (decoded.isNull())
            decoded = decodePath(bytes);
        out->archives.append(ListedEntry {decoded, bytes, false});
    }
}

// All folders of one file system are of its kind: asked once per device.
FileSystemKind DirectoryLister::fileSystemKindOf(int folderFd, dev_t device)
{
    if (!knownDevice || *knownDevice != device) {
        knownKind = fileSystemKindAt(folderFd);
        knownDevice = device;
    }
    return knownKind;
}

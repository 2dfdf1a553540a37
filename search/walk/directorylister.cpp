#include "directorylister.h"

#include "archiveformat.h"
#include "pathcodec.h"
#include "pseudofs.h"

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

enum class Kind { Directory, File, LinkToDirectory, OtherLink, System };

Kind kindOf(int dirFd, const struct dirent *entry)
{
    unsigned char type = entry->d_type;
    struct stat info;
    if (type == DT_UNKNOWN) {
        if (fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            return Kind::System;
        type = S_ISDIR(info.st_mode) ? DT_DIR
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
        if (fstatat(dirFd, entry->d_name, &info, 0) != 0)
            return Kind::System;
        return S_ISDIR(info.st_mode) ? Kind::LinkToDirectory : Kind::OtherLink;
    default:
        return Kind::System;
    }
}

} // namespace

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
        items.push_back(Keyed{key, std::move(entry)});
    }
    // Names equal but for case compare as equal, so their order is whatever
    // std::sort makes of the readdir order, exactly as in QDir.
    std::sort(items.begin(), items.end(),
              [](const Keyed &a, const Keyed &b) { return a.key.compare(b.key) < 0; });
    for (int i = 0; i < entries.size(); ++i)
        entries[i] = std::move(items[size_t(i)].entry);
}

DirectoryLister::DirectoryLister(const QStringList &nameFilters, const std::atomic_bool *cancel)
    : names(nameFilters), cancel(cancel)
{
}

bool DirectoryLister::list(int folderFd, bool wantSubdirs, DirectoryListing *out) const
{
    // A descriptor of its own for reading: closedir closes it, and the
    // folder's own descriptor stays with the walk.
    const int readFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readFd < 0)
        return false;
    DIR *dir = fdopendir(readFd);
    if (!dir) {
        ::close(readFd);
        return false;
    }
    const FileSystemKind fileSystem = fileSystemKindAt(readFd);
    out->procOrSysfs = fileSystem.procOrSysfs;
    out->pseudoFileSystem = fileSystem.pseudo;
    QByteArray bytes;
    while (const struct dirent *entry = readdir(dir)) {
        if (cancel->load(std::memory_order_relaxed))
            break;
        const char *name = entry->d_name;
        if (name[0] == '.')
            continue;  // hidden, and "." and ".."
        const Kind kind = kindOf(readFd, entry);
        if (kind == Kind::System || kind == Kind::OtherLink)
            continue;
        bytes = QByteArray(name, int(strlen(name)));
        QString decoded;
        if (kind == Kind::Directory || kind == Kind::LinkToDirectory) {
            if (wantSubdirs && !(kind == Kind::LinkToDirectory && out->procOrSysfs)) {
                decoded = decodePath(bytes);
                out->subdirs.append(ListedEntry{decoded, bytes, true});
            }
            if (kind == Kind::LinkToDirectory)
                continue;
        }
        const bool isFolder = kind == Kind::Directory;
        if (names.accepts(bytes, decoded)) {
            if (decoded.isNull())
                decoded = decodePath(bytes);
            out->matches.append(ListedEntry{decoded, bytes, isFolder});
        }
        if (kind == Kind::File && isArchiveName(bytes)) {
            if (decoded.isNull())
                decoded = decodePath(bytes);
            out->archives.append(ListedEntry{decoded, bytes, false});
        }
    }
    closedir(dir);
    sortLikeQDir(out->subdirs);
    sortLikeQDir(out->matches);
    sortLikeQDir(out->archives);
    return true;
}

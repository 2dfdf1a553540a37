#include "directorylister.h"

#include "archiveformat.h"
#include "pathcodec.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

enum class Kind { Directory, File, LinkToDirectory, LinkToFile, OtherLink, System };

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
        // A broken link counts as a system entry; what a link points to
        // decides what the rules make of it.
        if (fstatat(dirFd, name, &info, 0) != 0)
            return Kind::System;
        return S_ISDIR(info.st_mode)    ? Kind::LinkToDirectory
                : S_ISREG(info.st_mode) ? Kind::LinkToFile
                                        : Kind::OtherLink;
    default:
        return Kind::System;
    }
}

bool excludes(const std::shared_ptr<const NameFilter> &filter, const QByteArray &bytes,
              QString &decoded)
{
    return filter && filter->accepts(bytes, decoded);
}

bool isDotOrDotDot(const char *name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
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
                                 const std::atomic_bool *cancel,
                                 std::shared_ptr<const WalkRules> rules)
    : names(std::move(names)), cancel(cancel),
      rules(rules ? std::move(rules) : std::make_shared<const WalkRules>())
{
}

bool DirectoryLister::list(int folderFd, dev_t device, bool wantSubdirs, DirectoryListing *out,
                           const std::shared_ptr<const IgnoreRules> &parentIgnore,
                           const QByteArray &name)
{
    if (rules->ignoreFiles)
        out->ignore = IgnoreRules::forFolder(parentIgnore, name, folderFd);
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
    if (isDotOrDotDot(name) || (name[0] == '.' && !rules->hidden))
        return;
    const Kind kind = kindOf(folderFd, name, type);
    if (kind == Kind::LinkToDirectory || kind == Kind::LinkToFile) {
        if (rules->links == WalkRules::Links::None
            || (kind == Kind::LinkToFile && rules->links == WalkRules::Links::FoldersOnly))
            return;
    }
    if (kind == Kind::System || kind == Kind::OtherLink)
        return;
    // One buffer for every name: only the names kept are copied.
    const int length = int(strlen(name));
    bytes.resize(length);
    memcpy(bytes.data(), name, size_t(length));
    QString decoded;
    const bool isFolder = kind == Kind::Directory || kind == Kind::LinkToDirectory;
    if (excludes(isFolder ? rules->excludedFolders : rules->excludedFiles, bytes, decoded)
        || (out->ignore && out->ignore->ignores(bytes, isFolder)))
        return;
    if (isFolder) {
        if (wantSubdirs && !(kind == Kind::LinkToDirectory && out->procOrSysfs)) {
            if (decoded.isNull())
                decoded = decodePath(bytes);
            out->subdirs.append(ListedEntry {decoded, QByteArray(name, length), true});
        }
        // A link to a folder is a hit only when links are taken as what
        // they point to.
        if (kind == Kind::LinkToDirectory && rules->links != WalkRules::Links::All)
            return;
    }
    const bool isMatch = names->accepts(bytes, decoded);
    const ArchiveFormat format = isFolder ? ArchiveFormat::None : archiveFormatOf(bytes);
    const bool isArchive = format != ArchiveFormat::None
            && (format != ArchiveFormat::Compressed || rules->compressedFilesAsArchives);
    if ((!isMatch && !isArchive) || !passesStatus(folderFd, name, isFolder))
        return;
    if (decoded.isNull())
        decoded = decodePath(bytes);
    const QByteArray kept(name, length);
    if (isMatch)
        out->matches.append(ListedEntry {decoded, kept, isFolder});
    if (isArchive)
        out->archives.append(ListedEntry {decoded, kept, false});
}

bool DirectoryLister::passesStatus(int folderFd, const char *name, bool isFolder) const
{
    if (!rules->needsStatus())
        return true;
    struct stat info;
    if (::fstatat(folderFd, name, &info, 0) != 0)
        return false;  // gone since the folder was read
    return rules->passes(isFolder, info.st_size, info.st_mtim.tv_sec);
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

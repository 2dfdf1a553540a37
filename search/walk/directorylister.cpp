#include "directorylister.h"

#include "pseudofs.h"

#include <QFile>

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

bool isAscii(const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

struct SortItem
{
    QString name;
    QString key;
};

} // namespace

void sortLikeQDir(QStringList &names)
{
    if (names.size() < 2)
        return;
    std::vector<SortItem> items(size_t(names.size()));
    for (int i = 0; i < names.size(); ++i) {
        items[size_t(i)].name = names[i];
        items[size_t(i)].key = names[i].toLower();
    }
    // Names equal but for case compare as equal, so their order is whatever
    // std::sort makes of the readdir order, exactly as in QDir.
    std::sort(items.begin(), items.end(),
              [](const SortItem &a, const SortItem &b) { return a.key.compare(b.key) < 0; });
    for (int i = 0; i < names.size(); ++i)
        names[i] = std::move(items[size_t(i)].name);
}

DirectoryLister::DirectoryLister(const QStringList &nameFilters, const std::atomic_bool *cancel)
    : names(nameFilters), archiveNames({QStringLiteral("*.rar"), QStringLiteral("*.zip")}),
      cancel(cancel)
{
}

int DirectoryLister::openDirectory(const QByteArray &nativePath, DirectoryListing *out) const
{
    const int fd = ::open(nativePath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return -1;
    }
    out->device = info.st_dev;
    out->inode = info.st_ino;
    out->procOrSysfs = isProcOrSysfsAt(fd);
    return fd;
}

void DirectoryLister::closeDirectory(int fd)
{
    ::close(fd);
}

void DirectoryLister::readEntries(int fd, bool wantSubdirs, DirectoryListing *out) const
{
    DIR *dir = fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    const int dirFd = dirfd(dir);
    QByteArray bytes;
    while (const struct dirent *entry = readdir(dir)) {
        if (cancel->load(std::memory_order_relaxed))
            break;
        const char *name = entry->d_name;
        if (name[0] == '.')
            continue;  // hidden, and "." and ".."
        const Kind kind = kindOf(dirFd, entry);
        if (kind == Kind::System || kind == Kind::OtherLink)
            continue;
        bytes.setRawData(name, uint(strlen(name)));
        QString decoded;
        if (!isAscii(bytes)) {
            // QDir looks such a name up again by its decoding; one that does
            // not encode back to the same bytes is not found and left out.
            decoded = QFile::decodeName(bytes);
            if (QFile::encodeName(decoded) != bytes)
                continue;
        }
        if (kind == Kind::Directory || kind == Kind::LinkToDirectory) {
            if (wantSubdirs && !(kind == Kind::LinkToDirectory && out->procOrSysfs)) {
                decoded = QFile::decodeName(bytes);
                out->subdirs.append(decoded);
            }
            if (kind == Kind::LinkToDirectory)
                continue;
        }
        if (names.accepts(bytes, decoded)) {
            if (decoded.isNull())
                decoded = QFile::decodeName(bytes);
            out->matches.append(decoded);
        }
        if (kind == Kind::File && archiveNames.accepts(bytes, decoded)) {
            if (decoded.isNull())
                decoded = QFile::decodeName(bytes);
            out->archives.append(decoded);
        }
    }
    closedir(dir);
    sortLikeQDir(out->subdirs);
    sortLikeQDir(out->matches);
    sortLikeQDir(out->archives);
}

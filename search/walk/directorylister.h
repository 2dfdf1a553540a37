#ifndef DIRECTORYLISTER_H
#define DIRECTORYLISTER_H

#include "namefilter.h"

#include <QByteArray>
#include <QStringList>

#include <atomic>

#include <sys/types.h>

// One reading of a directory that yields the three listings the walk needs,
// each equal to QDir::entryList on the same directory with the same flags
// and QDir's default sort (by name ignoring case):
//   subdirs  - Dirs | NoDotAndDotDot (links to folders included)
//   matches  - the name filters, Dirs | Files | NoSymLinks | NoDotAndDotDot
//   archives - "*.rar", "*.zip", Files | NoSymLinks | NoDotAndDotDot
// Entry types come from readdir; only links and entries of unknown type are
// looked at with stat.
struct DirectoryListing
{
    dev_t device = 0;
    ino_t inode = 0;
    bool procOrSysfs = false;  // links to folders are left out of subdirs here
    QStringList subdirs;
    QStringList matches;
    QStringList archives;
};

class DirectoryLister
{
public:
    // Reading stops early, leaving the listing incomplete, once `cancel` is set.
    DirectoryLister(const QStringList &nameFilters, const std::atomic_bool *cancel);

    // False when the directory cannot be opened. `wantSubdirs` false leaves
    // subdirs empty. `isOnDescent` is asked with the directory's device and
    // inode before anything is read; when it answers true, nothing is listed
    // and the result is false.
    template <typename OnDescent>
    bool list(const QByteArray &nativePath, bool wantSubdirs, DirectoryListing *out,
              OnDescent isOnDescent) const
    {
        const int fd = openDirectory(nativePath, out);
        if (fd < 0)
            return false;
        if (isOnDescent(out->device, out->inode)) {
            closeDirectory(fd);
            return false;
        }
        readEntries(fd, wantSubdirs, out);
        return true;
    }

private:
    int openDirectory(const QByteArray &nativePath, DirectoryListing *out) const;
    static void closeDirectory(int fd);
    void readEntries(int fd, bool wantSubdirs, DirectoryListing *out) const;

    NameFilter names;
    NameFilter archiveNames;
    const std::atomic_bool *cancel;
};

// QDir's name sort ignoring case: lower-case names compared by code unit with
// std::sort, as QDir does, so that equal input gives an equal order.
void sortLikeQDir(QStringList &names);

#endif // DIRECTORYLISTER_H

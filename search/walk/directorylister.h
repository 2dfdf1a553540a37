#ifndef DIRECTORYLISTER_H
#define DIRECTORYLISTER_H

#include "namefilter.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <atomic>

// One entry of a listing: its name as text (bytes that do not decode kept
// as reserved code units) and as the file system holds it, for opening.
struct ListedEntry
{
    QString name;
    QByteArray bytes;
    bool isFolder = false;  // a folder (never a link: links are not matches)
};

// One reading of a directory that yields the three listings the walk needs,
// each equal to QDir::entryList on the same directory with the same flags
// and QDir's default sort (by name ignoring case), except that names that do
// not decode are listed too:
//   subdirs  - Dirs | NoDotAndDotDot (links to folders included)
//   matches  - the name filters, Dirs | Files | NoSymLinks | NoDotAndDotDot
//   archives - the files whose names isArchiveName accepts (Files | NoSymLinks
//              | NoDotAndDotDot), whatever the name filters
// Entry types come from readdir; only links and entries of unknown type are
// looked at with stat.
struct DirectoryListing
{
    bool procOrSysfs = false;     // links to folders are left out of subdirs here
    bool pseudoFileSystem = false;  // kernel files: never read as content
    QVector<ListedEntry> subdirs;
    QVector<ListedEntry> matches;
    QVector<ListedEntry> archives;
};

class DirectoryLister
{
public:
    // Reading stops early, leaving the listing incomplete, once `cancel` is set.
    DirectoryLister(const QStringList &nameFilters, const std::atomic_bool *cancel);

    // Lists the open folder `folderFd` (which stays open and unmoved).
    // `wantSubdirs` false leaves subdirs empty. False when it cannot be read.
    bool list(int folderFd, bool wantSubdirs, DirectoryListing *out) const;

private:
    NameFilter names;
    const std::atomic_bool *cancel;
};

// QDir's name sort ignoring case: lower-case names compared by code unit with
// std::sort, as QDir does, so that equal input gives an equal order.
void sortLikeQDir(QVector<ListedEntry> &entries);

#endif // DIRECTORYLISTER_H

#ifndef DIRECTORYLISTER_H
#define DIRECTORYLISTER_H

#include "ignorerules.h"
#include "namefilter.h"
#include "pseudofs.h"
#include "walkrules.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include <sys/types.h>

// One entry of a listing: its name as text (bytes that do not decode kept
// as reserved code units) and as the file system holds it, for opening.
struct ListedEntry
{
    QString name;
    QByteArray bytes;
    bool isFolder = false;  // a folder (a link to one only when the rules follow links)
};

// One reading of a directory that yields the three listings the walk needs,
// each equal to QDir::entryList on the same directory with the same flags
// and QDir's default sort (by name ignoring case), except that names that do
// not decode are listed too:
//   subdirs  - Dirs | NoDotAndDotDot (links to folders included)
//   matches  - the name filters, Dirs | Files | NoSymLinks | NoDotAndDotDot
//   archives - the files whose names isArchiveName accepts (Files | NoSymLinks
//              | NoDotAndDotDot), whatever the name filters; single compressed
//              files only when the rules count them as archives
// That is with the default WalkRules; other rules take in hidden names and
// links, and leave out what they exclude, from all three. Entry types come
// from the folder's entries; only links, entries of unknown type and, when
// the rules ask for size or time, the entries listed are looked at with stat.
struct DirectoryListing
{
    bool procOrSysfs = false;       // links to folders are left out of subdirs here
    bool pseudoFileSystem = false;  // kernel files: never read as content
    // The ignore files' rules for its entries, when the rules honour them.
    std::shared_ptr<const IgnoreRules> ignore;
    QVector<ListedEntry> subdirs;
    QVector<ListedEntry> matches;
    QVector<ListedEntry> archives;
};

// One lister serves one thread at a time.
class DirectoryLister
{
public:
    // Matches names with `names` and takes in what `rules` say (both shared
    // with other listers; null rules: the defaults). Reading stops early,
    // leaving the listing incomplete, once `cancel` is set.
    DirectoryLister(std::shared_ptr<const NameFilter> names, const std::atomic_bool *cancel,
                    std::shared_ptr<const WalkRules> rules = nullptr);

    // Lists the folder `folderFd` on device `device`, reading from the
    // descriptor's position (a folder just opened: from its start) to its
    // end; the descriptor stays open. `wantSubdirs` false leaves subdirs
    // empty. `parentIgnore` holds the ignore files' rules of the folder's
    // parent, where it is `name`. False when it cannot be read.
    bool list(int folderFd, dev_t device, bool wantSubdirs, DirectoryListing *out,
              const std::shared_ptr<const IgnoreRules> &parentIgnore = nullptr,
              const QByteArray &name = QByteArray());

private:
    static constexpr size_t kReadSize = 32 * 1024;

    void addEntry(int folderFd, const char *name, unsigned char type, bool wantSubdirs,
                  DirectoryListing *out, QByteArray &bytes) const;
    FileSystemKind fileSystemKindOf(int folderFd, dev_t device);

    bool passesStatus(int folderFd, const char *name, bool isFolder) const;

    std::shared_ptr<const NameFilter> names;
    const std::atomic_bool *cancel;
    std::shared_ptr<const WalkRules> rules;
    std::vector<char> buffer;
    std::optional<dev_t> knownDevice;  // the device whose kind knownKind holds
    FileSystemKind knownKind;
};

// QDir's name sort ignoring case: lower-case names compared by code unit with
// std::sort, as QDir does, so that equal input gives an equal order.
void sortLikeQDir(QVector<ListedEntry> &entries);

#endif  // DIRECTORYLISTER_H

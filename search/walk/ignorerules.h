#ifndef IGNORERULES_H
#define IGNORERULES_H

#include <QByteArray>

#include <memory>
#include <vector>

// The rules of the .gitignore and .ignore files of a folder and of the
// folders above it down from the start folder: which entries the walk
// passes over, as git reads these files. A line is a wildcard of names
// (fnmatch's *, ? and [...], case as written), "#" starts a comment, "!"
// takes an entry back in, a "/" at the end makes it a rule for folders
// only, a "/" at the start or inside anchors it to the file's folder (where
// "**" stands for any number of folders), and without one it holds at any
// depth below. Of the rules that match an entry, the last of the deepest
// file decides. Made once per folder; read by any thread.
class IgnoreRules
{
public:
    // The rules for the entries of the folder `folderFd`, named `name` in
    // its parent, whose rules are `parent` (null at a start folder): the
    // parent's and those of the folder's own .gitignore, then .ignore. Null
    // when no rule applies there.
    static std::shared_ptr<const IgnoreRules> forFolder(std::shared_ptr<const IgnoreRules> parent,
                                                        const QByteArray &name, int folderFd);

    // True when the entry `name` of the folder (itself a folder when
    // `isFolder`) is to be passed over.
    bool ignores(const QByteArray &name, bool isFolder) const;

private:
    struct Rule
    {
        std::vector<QByteArray> parts;  // between "/"; one part when not anchored
        bool anchored = false;
        bool folderOnly = false;
        bool negated = false;
    };

    void read(int folderFd, const char *fileName);
    static bool matches(const Rule &rule, const std::vector<QByteArray> &path, bool isFolder);

    std::shared_ptr<const IgnoreRules> parent;
    QByteArray name;          // of this folder in its parent
    std::vector<Rule> rules;  // of this folder's own files, in their order
};

#endif  // IGNORERULES_H

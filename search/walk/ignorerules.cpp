#include "ignorerules.h"

#include "uniquefd.h"

#include <QList>

#include <fcntl.h>
#include <fnmatch.h>
#include <unistd.h>

namespace {

// Ignore files larger than this are read only this far.
constexpr qint64 kLargestIgnoreFile = 1024 * 1024;

// Whether the path parts `path` from `at` on match the pattern parts from
// `part` on, "**" standing for any number of parts.
bool matchParts(const std::vector<QByteArray> &parts, size_t part,
                const std::vector<QByteArray> &path, size_t at)
{
    if (part == parts.size())
        return at == path.size();
    if (parts[part] == "**") {
        for (size_t skip = at; skip <= path.size(); ++skip) {
            if (matchParts(parts, part + 1, path, skip))
                return true;
        }
        return false;
    }
    return at < path.size() && ::fnmatch(parts[part].constData(), path[at].constData(), 0) == 0
            && matchParts(parts, part + 1, path, at + 1);
}

}  // namespace

std::shared_ptr<const IgnoreRules> IgnoreRules::forFolder(std::shared_ptr<const IgnoreRules> parent,
                                                          const QByteArray &name, int folderFd)
{
    auto rules = std::make_shared<IgnoreRules>();
    rules->read(folderFd, ".gitignore");
    rules->read(folderFd, ".ignore");
    if (rules->rules.empty() && !parent)
        return nullptr;
    rules->parent = std::move(parent);
    rules->name = name;
    return rules;
}

void IgnoreRules::read(int folderFd, const char *fileName)
{
    const UniqueFd file(::openat(folderFd, fileName, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0)
        return;  // none here, or one that cannot be read: no rules
    QByteArray text;
    char buffer[8192];
    ssize_t got;
    while (text.size() < kLargestIgnoreFile
           && (got = ::read(file.get(), buffer, sizeof buffer)) > 0)
        text.append(buffer, int(got));
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        while (line.endsWith(' ') && !line.endsWith("\\ "))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        Rule rule;
        if (line.startsWith('!')) {
            rule.negated = true;
            line.remove(0, 1);
        } else if (line.startsWith("\\#") || line.startsWith("\\!")) {
            line.remove(0, 1);
        }
        if (line.endsWith('/')) {
            rule.folderOnly = true;
            line.chop(1);
        }
        rule.anchored = line.contains('/');
        if (line.startsWith('/'))
            line.remove(0, 1);
        if (line.isEmpty())
            continue;
        for (const QByteArray &part : line.split('/'))
            rule.parts.push_back(part);
        rules.push_back(std::move(rule));
    }
}

bool IgnoreRules::matches(const Rule &rule, const std::vector<QByteArray> &path, bool isFolder)
{
    if (rule.folderOnly && !isFolder)
        return false;
    if (!rule.anchored)
        return ::fnmatch(rule.parts.front().constData(), path.back().constData(), 0) == 0;
    return matchParts(rule.parts, 0, path, 0);
}

bool IgnoreRules::ignores(const QByteArray &entry, bool isFolder) const
{
    // The entry's path below each file's folder, from the deepest up.
    std::vector<QByteArray> path {entry};
    for (const IgnoreRules *level = this; level; level = level->parent.get()) {
        for (auto rule = level->rules.rbegin(); rule != level->rules.rend(); ++rule) {
            if (matches(*rule, path, isFolder))
                return !rule->negated;
        }
        path.insert(path.begin(), level->name);
    }
    return false;
}

#include "namefilter.h"

#include "pathcodec.h"

#include <QSet>

#include <unordered_map>

namespace {

// Up to this many patterns are tried one by one: fewer than the index costs.
constexpr int kPatternsTriedInTurn = 16;

}  // namespace

bool NameFilter::isValidPattern(const QString &pattern)
{
    return Wildcard(pattern).isValid();
}

NameFilter::NameFilter(const QStringList &patterns)
{
    all = patterns.isEmpty();
    wildcards.reserve(size_t(patterns.size()));
    QSet<QString> seen;
    for (const QString &pattern : patterns) {
        if (seen.contains(pattern))
            continue;  // tried once is enough
        seen.insert(pattern);
        // A pattern that does not compile matches no name.
        Wildcard wildcard(pattern);
        if (!wildcard.isValid())
            continue;
        if (wildcard.matchesEverything())
            all = true;
        wildcards.push_back(std::move(wildcard));
    }
    if (all)
        wildcards.clear();
    indexed = int(wildcards.size()) > kPatternsTriedInTurn;
    if (!indexed) {
        for (int i = 0; i < int(wildcards.size()); ++i)
            unindexed.push_back(i);
        return;
    }
    // Each pattern goes under the run fewest patterns hold (the longer one
    // of equals): a name holding it is tried against few patterns.
    std::unordered_map<std::u32string, int> holders;
    for (const Wildcard &wildcard : wildcards) {
        for (const std::u32string &run : wildcard.plainRuns())
            ++holders[run];
    }
    for (int i = 0; i < int(wildcards.size()); ++i) {
        const std::u32string *key = nullptr;
        for (const std::u32string &run : wildcards[size_t(i)].plainRuns()) {
            if (!key || holders[run] < holders[*key]
                || (holders[run] == holders[*key] && run.size() > key->size()))
                key = &run;
        }
        if (key)
            index.add(*key, i);
        else
            unindexed.push_back(i);
    }
    index.build();
}

bool NameFilter::acceptsName(const NameText &name) const
{
    for (const int i : unindexed) {
        if (wildcards[size_t(i)].matches(name))
            return true;
    }
    if (!indexed)
        return false;
    return index.findAny(name.folded.constData(), name.folded.size(),
                         [&](int i) { return wildcards[size_t(i)].matches(name); });
}

bool NameFilter::accepts(const QByteArray &bytes, QString &decoded) const
{
    if (all)
        return true;
    NameText name;
    if (NameText::fromAscii(bytes, &name))
        return acceptsName(name);
    if (decoded.isNull())
        decoded = decodePath(bytes);
    return acceptsName(NameText::fromText(decoded));
}

bool NameFilter::acceptsText(const QString &name) const
{
    return all || acceptsName(NameText::fromText(name));
}

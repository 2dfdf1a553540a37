#ifndef TEXTRANKS_H
#define TEXTRANKS_H

#include <QLatin1String>
#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <vector>

// The UTF-16 code units [from, from + 4) of `text` (a QString, QStringView or
// QLatin1String) in one number, the first in the highest bits, 0 for each
// past the end: texts whose numbers differ compare as the numbers do.
template<typename Text> quint64 headOf(const Text &text, int from = 0)
{
    quint64 head = 0;
    for (int i = from; i < from + 4; ++i)
        head = (head << 16) | (i < text.size() ? quint64(text.at(i).unicode()) : 0);
    return head;
}

// The length of the beginning `a` and `b` share, given that they agree
// before `from`.
template<typename A, typename B> int commonLength(const A &a, const B &b, int from)
{
    const int end = int(std::min<qsizetype>(a.size(), b.size()));
    int at = from;
    while (at < end && a.at(at).unicode() == b.at(at).unicode())
        ++at;
    return at;
}

// Texts of one byte a character, as most lines are kept: equal ones (a line
// repeated in many files) are told by one memcmp.
inline int commonLength(QLatin1String a, QLatin1String b, int from)
{
    const int end = std::min(a.size(), b.size());
    if (from < end && std::memcmp(a.data() + from, b.data() + from, size_t(end - from)) == 0)
        return end;
    int at = from;
    while (at < end && a.at(at) == b.at(at))
        ++at;
    return at;
}

// Asks for the memory at `at` to be brought near, for a read soon after.
inline void prefetchForReading(const void *at)
{
#if defined(__GNUC__)
    __builtin_prefetch(at);
#else
    Q_UNUSED(at);
#endif
}

// Ranks of `count` texts in the order of QString::compare (UTF-16 code
// units; a text comes before the longer texts it begins), equal texts
// sharing a rank, the first rank 0, and empty texts after all others (the
// table's place for empty cells). `visit(i, f)` calls `f` with text i as a
// QLatin1String or a QStringView and returns what `f` returns.
//
// Lines found by one search often share long beginnings (indentation, a
// common phrase) and repeat (a licence's lines in every copy), where a sort
// that compares whole texts reads the shared characters again at each
// comparison. Here the texts are sorted by four code units at a time: first
// the first four, then each run of texts with equal heads by the next four,
// and a run whose heads are all alike skips at once past the beginning all
// its texts share. Texts that differ early are never read further, and a run
// of equal texts is read once. A work list, not recursion, follows the runs,
// so a long line cannot exhaust the stack.
template<typename Visit> std::vector<int> textRanksEmptyLast(size_t count, Visit visit)
{
    struct Entry
    {
        quint64 head;
        int key;
        int length;
    };
    std::vector<Entry> entries;
    entries.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const int length = visit(i, [](auto text) { return int(text.size()); });
        if (length > 0)
            entries.push_back(Entry {0, int(i), length});
    }
    // True where a group of equal texts begins, in sorted order.
    std::vector<bool> startsGroup(entries.size(), false);
    if (!entries.empty())
        startsGroup[0] = true;

    struct Run
    {
        size_t begin;
        size_t end;
        int from;  // the code units before it are equal in the whole run
    };
    std::vector<Run> runs {{0, entries.size(), 0}};
    constexpr int prefetchDistance = 8;
    while (!runs.empty()) {
        Run run = runs.back();
        runs.pop_back();
        if (run.end - run.begin < 2)
            continue;
        const auto begin = entries.begin() + qsizetype(run.begin);
        const auto end = entries.begin() + qsizetype(run.end);
        // One read of each text: its head, and how far it agrees with the
        // run's first text (the texts lie apart, so the read is the cost).
        bool sameHead = true;
        bool allEnd = true;  // no text goes on past these four units
        bool allEqual = true;
        int common = begin->length;
        visit(size_t(begin->key), [&](auto first) {
            for (auto e = begin; e != end; ++e) {
                if (end - e > prefetchDistance)
                    visit(size_t((e + prefetchDistance)->key), [](auto text) {
                        prefetchForReading(text.data());
                        return 0;
                    });
                visit(size_t(e->key), [&](auto text) {
                    e->head = headOf(text, run.from);
                    const int shared = commonLength(first, text, run.from);
                    common = std::min(common, shared);
                    allEqual = allEqual && shared == begin->length && e->length == begin->length;
                    return 0;
                });
                sameHead = sameHead && e->head == begin->head;
                allEnd = allEnd && e->length <= run.from + 4;
            }
            return 0;
        });
        if (allEqual)
            continue;  // one group of equal texts
        if (allEnd) {
            // Equal heads now mean one text is the other followed by zeros:
            // the shorter comes first, and equal lengths are equal texts.
            auto before = [](const Entry &a, const Entry &b) {
                return a.head != b.head ? a.head < b.head : a.length < b.length;
            };
            std::sort(begin, end, before);
            for (auto e = begin + 1; e < end; ++e) {
                if (before(*(e - 1), *e))
                    startsGroup[size_t(e - entries.begin())] = true;
            }
            continue;
        }
        if (sameHead) {
            // Every text goes on past the beginning they all share.
            run.from = std::max(common, run.from + 4);
            runs.push_back(run);
            continue;
        }
        std::sort(begin, end, [](const Entry &a, const Entry &b) { return a.head < b.head; });
        for (auto first = begin; first != end;) {
            auto last = first + 1;
            while (last != end && last->head == first->head)
                ++last;
            startsGroup[size_t(first - entries.begin())] = true;
            if (last - first > 1)
                runs.push_back(Run {size_t(first - entries.begin()), size_t(last - entries.begin()),
                                    run.from + 4});
            first = last;
        }
    }

    std::vector<int> ranks(count, -1);
    int rank = -1;
    for (size_t k = 0; k < entries.size(); ++k) {
        if (startsGroup[k])
            ++rank;
        ranks[size_t(entries[k].key)] = rank;
    }
    std::replace(ranks.begin(), ranks.end(), -1, rank + 1);  // the empty texts
    return ranks;
}

#endif  // TEXTRANKS_H

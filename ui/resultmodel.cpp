#include "resultmodel.h"

#include "pathdisplay.h"
#include "textranks.h"
#include "visiblecontrols.h"

#include <QDateTime>
#include <QHash>

#include <algorithm>
#include <ctime>
#include <functional>
#include <numeric>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace {

// The digits of a line number compared as text ("10" before "9"), as the
// table has always sorted them, without making the text.
int compareAsDecimalText(qint64 a, qint64 b)
{
    auto digits = [](qint64 n) {
        int count = 1;
        while (n >= 10) {
            n /= 10;
            ++count;
        }
        return count;
    };
    const int da = digits(a);
    const int db = digits(b);
    // Pad the shorter number with zeros to the same length; equal then means
    // one is a prefix of the other, and the shorter text comes first.
    __int128 wa = a;
    __int128 wb = b;
    for (int i = da; i < db; ++i)
        wa *= 10;
    for (int i = db; i < da; ++i)
        wb *= 10;
    if (wa != wb)
        return wa < wb ? -1 : 1;
    return da - db;
}

// A number that orders line numbers as compareAsDecimalText does where the
// numbers differ: the digits padded with zeros to 19 places (only numbers
// of which one is a prefix of the other, such as 1 and 10, tie).
quint64 decimalTextHead(qint64 n)
{
    if (n <= 0)
        return 0;
    quint64 head = quint64(n);
    while (head < quint64(1000000000000000000))
        head *= 10;  // below 10^19 < 2^64
    return head;
}

// A number that orders times as their text "yyyy-MM-dd hh:mm" in local time
// orders them: the digits of that text.
qint64 localMinuteKey(qint64 secs)
{
    const std::time_t t = std::time_t(secs);
    std::tm local {};
#ifdef Q_OS_WIN
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return ((((qint64(local.tm_year) + 1900) * 100 + local.tm_mon + 1) * 100 + local.tm_mday) * 100
            + local.tm_hour)
            * 100
            + local.tm_min;
}

}  // namespace

ResultModel::ResultModel(QObject *parent) : QAbstractTableModel(parent) { }

void ResultModel::releaseRows(BackgroundRelease &release)
{
    beginResetModel();
    release.release(std::make_tuple(std::exchange(folders, {}), std::exchange(files, {}),
                                    std::exchange(text, {}), std::exchange(rowFile, {}),
                                    std::exchange(rowLine, {}), std::exchange(rowText, {}),
                                    std::exchange(order, {})));
    endResetModel();
}

int ResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(order.size());
}

int ResultModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString ResultModel::nameText(const QString &fileName)
{
    return displayPath(fileName.trimmed());
}

QString ResultModel::dirText(const QString &dirName)
{
    return displayPath(dirName);
}

QString ResultModel::timeText(qint64 modified)
{
    if (modified == TFileInfo::kNoTime)
        return QString();
    return QDateTime::fromSecsSinceEpoch(modified).toString(QStringLiteral("yyyy-MM-dd hh:mm"));
}

QVariant ResultModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount())
        return QVariant();
    const int stored = order[size_t(index.row())];
    if (index.column() == TimeColumn
        && files[size_t(rowFile[size_t(stored)])].modified == TFileInfo::kNoTime)
        return QVariant();
    return cellText(stored, index.column());
}

QString ResultModel::cellText(int stored, int column) const
{
    const File &file = files[size_t(rowFile[size_t(stored)])];
    switch (column) {
    case NameColumn:
        return nameText(text.text(file.name));
    case DirColumn:
        return dirText(folders.at(file.folder));
    case LineColumn: {
        const qint64 line = rowLine[size_t(stored)];
        return line != 0 ? QString::number(line) : QString(QLatin1String(""));
    }
    case ContentColumn:
        // A binary file's "line" shows its control bytes as symbols, not boxes.
        return withVisibleControls(text.text(rowText[size_t(stored)]));
    case TimeColumn:
        return timeText(file.modified);
    default:
        return QString();
    }
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case NameColumn:
        return tr("文件名");
    case DirColumn:
        return tr("目录");
    case LineColumn:
        return tr("行号");
    case ContentColumn:
        return tr("内容");
    case TimeColumn:
        return tr("修改时间");
    default:
        return QVariant();
    }
}

void ResultModel::appendHits(const QString &dirName, const QList<TFileInfo> &hits, int from, int to)
{
    if (from >= to)
        return;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + (to - from) - 1);
    if (folders.isEmpty() || folders.constLast() != dirName)
        folders.append(dirName);
    const int folder = folders.size() - 1;
    for (int i = from; i < to; ++i) {
        const TFileInfo &hit = hits.at(i);
        // The lines of one file arrive together: the file is kept once for them.
        if (files.empty() || files.back().folder != folder || files.back().modified != hit.modified
            || !text.equals(files.back().name, hit.fileName))
            files.push_back(File {folder, text.add(hit.fileName), hit.modified});
        order.push_back(int(rowFile.size()));
        rowFile.push_back(int(files.size() - 1));
        rowLine.push_back(hit.lineNo);
        // A document's line shows its place before it, as a deep hit its codec.
        rowText.push_back(text.add(hit.shownLineText()));
    }
    endInsertRows();
}

QString ResultModel::fileName(int row) const
{
    return text.text(files[size_t(fileOf(row))].name);
}

QString ResultModel::dirName(int row) const
{
    return folders.at(files[size_t(fileOf(row))].folder);
}

qint64 ResultModel::lineNo(int row) const
{
    return rowLine[size_t(order[size_t(row)])];
}

QString ResultModel::lineText(int row) const
{
    return text.text(rowText[size_t(order[size_t(row)])]);
}

qint64 ResultModel::modified(int row) const
{
    return files[size_t(fileOf(row))].modified;
}

namespace {

// A file's name as the name column sorts it: the pooled text, or the text
// shown where that differs (index into a list of such texts, else -1).
struct NameKey
{
    CompactTextPool::Ref ref = 0;
    int shown = -1;
};

// The number of each file's name among the distinct names of `names` (its
// index in `distinct`): the same name in many folders is then keyed and
// ranked once. An open-addressed table of indexes, one allocation for any
// number of names.
std::vector<int> numberDistinct(const CompactTextPool &text,
                                const std::deque<CompactTextPool::Ref> &names,
                                std::vector<CompactTextPool::Ref> &distinct)
{
    size_t capacity = 16;
    while (capacity < names.size() * 2)
        capacity *= 2;
    std::vector<int> byHash(capacity, -1);
    std::vector<int> numbers(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        const CompactTextPool::Ref name = names[i];
        size_t slot = text.visit(name, [](auto stored) { return size_t(qHash(stored)); })
                & (capacity - 1);
        while (byHash[slot] >= 0 && text.compare(distinct[size_t(byHash[slot])], name) != 0)
            slot = (slot + 1) & (capacity - 1);
        if (byHash[slot] < 0) {
            byHash[slot] = int(distinct.size());
            distinct.push_back(name);
        }
        numbers[i] = byHash[slot];
    }
    return numbers;
}

// Ranks of `keys` in the order of `less`: equal keys share a rank, the
// first rank is 0. The keys are compared once each in a sort of their own,
// so rows that share a file or a folder cost nothing more. `head` gives each
// key a number that orders them as `less` does where the numbers differ
// (the first characters of a text): most comparisons are of these numbers,
// side by side in memory, and only keys with the same number meet `less`.
template<typename Keys, typename Head, typename Less>
std::vector<int> ranksOf(const Keys &keys, Head head, Less less)
{
    std::vector<std::pair<quint64, int>> byKey(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        byKey[i] = {head(keys[i]), int(i)};
    auto before = [&](const std::pair<quint64, int> &a, const std::pair<quint64, int> &b) {
        if (a.first != b.first)
            return a.first < b.first;
        return less(keys[size_t(a.second)], keys[size_t(b.second)]);
    };
    std::sort(byKey.begin(), byKey.end(), before);
    std::vector<int> ranks(keys.size());
    int rank = 0;
    for (size_t i = 0; i < byKey.size(); ++i) {
        if (i > 0 && before(byKey[i - 1], byKey[i]))
            ++rank;
        ranks[size_t(byKey[i].second)] = rank;
    }
    return ranks;
}

// True when `text` shows otherwise than it is kept (withVisibleControls).
template<typename Text> bool holdsShownControls(const Text &text)
{
    for (int i = 0; i < text.size(); ++i) {
        if (isShownControl(text.at(i).unicode()))
            return true;
    }
    return false;
}

// `rows` reordered by `rankOf` (ascending, or descending when `descending`),
// rows of equal rank in their present order: a counting sort, linear in rows.
template<typename RankOf>
std::vector<int> orderedByRank(const std::vector<int> &rows, RankOf rankOf, bool descending)
{
    int highest = 0;
    for (const int row : rows)
        highest = std::max(highest, rankOf(row));
    std::vector<int> starts(size_t(highest) + 2, 0);
    auto slot = [&](int row) { return descending ? highest - rankOf(row) : rankOf(row); };
    for (const int row : rows)
        ++starts[size_t(slot(row)) + 1];
    std::partial_sum(starts.begin(), starts.end(), starts.begin());
    std::vector<int> sorted(rows.size());
    for (const int row : rows)
        sorted[size_t(starts[size_t(slot(row))]++)] = row;
    return sorted;
}

// Ranks with the empty key after every other (the table's former order put
// an empty cell after every filled one).
template<typename Keys, typename IsEmpty, typename Head, typename Less>
std::vector<int> ranksEmptyLast(const Keys &keys, IsEmpty isEmpty, Head head, Less less)
{
    using Key = typename Keys::value_type;
    return ranksOf(
            keys, [&](const Key &key) { return isEmpty(key) ? ~quint64(0) : quint64(head(key)); },
            [&](const Key &a, const Key &b) {
                if (isEmpty(a) || isEmpty(b))
                    return !isEmpty(a) && isEmpty(b);
                return less(a, b);
            });
}

}  // namespace

void ResultModel::sort(int column, Qt::SortOrder sortOrder)
{
    if (column < 0 || column >= ColumnCount)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);

    // Rows without a time cell are left out of the sort and follow the
    // others in their present order.
    std::vector<int> rows;
    std::vector<int> unsorted;
    rows.reserve(order.size());
    for (const int stored : order) {
        if (column == TimeColumn
            && files[size_t(rowFile[size_t(stored)])].modified == TFileInfo::kNoTime)
            unsorted.push_back(stored);
        else
            rows.push_back(stored);
    }

    const bool descending = sortOrder == Qt::DescendingOrder;
    auto isEmptyText = [](const QString &text) { return text.isEmpty(); };
    auto textLess = [](const QString &a, const QString &b) { return a.compare(b) < 0; };
    switch (column) {
    case NameColumn: {
        // A name of printable ASCII shows as it is stored: its key is the
        // pooled text itself; only other names have their shown text made.
        std::deque<CompactTextPool::Ref> fileNames;
        for (const File &file : files)
            fileNames.push_back(file.name);
        std::vector<CompactTextPool::Ref> distinct;
        const std::vector<int> nameOf = numberDistinct(text, fileNames, distinct);
        std::vector<NameKey> names(distinct.size());
        std::vector<QString> shown;
        for (size_t n = 0; n < distinct.size(); ++n) {
            names[n].ref = distinct[n];
            if (!text.isPlainAscii(distinct[n])) {
                names[n].shown = int(shown.size());
                shown.push_back(nameText(text.text(distinct[n])));
            }
        }
        const auto isEmpty = [&](const NameKey &key) {
            return key.shown >= 0 ? shown[size_t(key.shown)].isEmpty()
                                  : CompactTextPool::length(key.ref) == 0;
        };
        const auto less = [&](const NameKey &a, const NameKey &b) {
            if (a.shown < 0 && b.shown < 0)
                return text.compare(a.ref, b.ref) < 0;
            if (a.shown >= 0 && b.shown >= 0)
                return shown[size_t(a.shown)] < shown[size_t(b.shown)];
            const QString &other = shown[size_t(a.shown >= 0 ? a.shown : b.shown)];
            const int order = text.visit(a.shown >= 0 ? b.ref : a.ref,
                                         [&](auto stored) { return stored.compare(other); });
            return a.shown >= 0 ? order > 0 : order < 0;
        };
        const auto head = [&](const NameKey &key) {
            return key.shown >= 0 ? headOf(shown[size_t(key.shown)])
                                  : text.visit(key.ref, [](auto stored) { return headOf(stored); });
        };
        const std::vector<int> ranks = ranksEmptyLast(names, isEmpty, head, less);
        rows = orderedByRank(
                rows, [&](int s) { return ranks[size_t(nameOf[size_t(rowFile[size_t(s)])])]; },
                descending);
        break;
    }
    case DirColumn: {
        std::vector<QString> dirs(size_t(folders.size()));
        for (int f = 0; f < folders.size(); ++f)
            dirs[size_t(f)] = dirText(folders.at(f));
        const std::vector<int> ranks = ranksEmptyLast(
                dirs, isEmptyText, [](const QString &dir) { return headOf(dir); }, textLess);
        rows = orderedByRank(
                rows,
                [&](int s) { return ranks[size_t(files[size_t(rowFile[size_t(s)])].folder)]; },
                descending);
        break;
    }
    case LineColumn: {
        // Few distinct numbers among many rows: the distinct ones are ranked
        // as text, each row finds its number's rank among them.
        std::vector<qint64> numbers(rowLine.begin(), rowLine.end());
        std::sort(numbers.begin(), numbers.end());
        numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
        const std::vector<int> ranks = ranksEmptyLast(
                numbers, [](qint64 line) { return line == 0; }, decimalTextHead,
                [](qint64 a, qint64 b) { return compareAsDecimalText(a, b) < 0; });
        rows = orderedByRank(
                rows,
                [&](int s) {
                    const auto at
                            = std::lower_bound(numbers.begin(), numbers.end(), rowLine[size_t(s)]);
                    return ranks[size_t(at - numbers.begin())];
                },
                descending);
        break;
    }
    case ContentColumn: {
        // Lines sort as they are shown: the few that hold control characters
        // have their shown text made (index into `shown`).
        std::vector<int> shownOf(rowText.size(), -1);
        std::vector<QString> shown;
        for (size_t i = 0; i < rowText.size(); ++i) {
            if (text.visit(rowText[i], [](auto stored) { return holdsShownControls(stored); })) {
                shownOf[i] = int(shown.size());
                shown.push_back(withVisibleControls(text.text(rowText[i])));
            }
        }
        const std::vector<CompactTextPool::Ref> lines(rowText.begin(), rowText.end());
        const std::vector<int> ranks = textRanksEmptyLast(lines.size(), [&](size_t i, auto &&f) {
            return shownOf[i] < 0 ? text.visit(lines[i], f)
                                  : f(QStringView(shown[size_t(shownOf[i])]));
        });
        rows = orderedByRank(
                rows, [&](int s) { return ranks[size_t(s)]; }, descending);
        break;
    }
    case TimeColumn: {
        // The seconds of one minute share its local digits (zones differ
        // from UTC by whole minutes), so each minute is turned once.
        std::vector<qint64> minutes(files.size());
        std::unordered_map<qint64, qint64> localMinutes;
        for (size_t f = 0; f < files.size(); ++f) {
            const qint64 secs = files[f].modified;
            if (secs == TFileInfo::kNoTime)
                continue;
            const auto known = localMinutes.try_emplace(secs / 60 - (secs % 60 < 0 ? 1 : 0));
            if (known.second)
                known.first->second = localMinuteKey(secs);
            minutes[f] = known.first->second;
        }
        const std::vector<int> ranks = ranksOf(
                minutes, [](qint64 key) { return quint64(key) ^ (quint64(1) << 63); },
                std::less<qint64>());
        rows = orderedByRank(
                rows, [&](int s) { return ranks[size_t(rowFile[size_t(s)])]; }, descending);
        break;
    }
    }
    rows.insert(rows.end(), unsorted.begin(), unsorted.end());

    // Persistent indexes (the selection, the current row) follow their rows.
    std::vector<int> newRowOf(order.size());
    for (size_t row = 0; row < rows.size(); ++row)
        newRowOf[size_t(rows[row])] = int(row);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before) {
        after << this->index(newRowOf[size_t(order[size_t(index.row())])], index.column());
    }
    order.assign(rows.begin(), rows.end());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// The result model against the table it replaced: one QStandardItem a cell,
// filled and sorted the way the window did before (the reference below).
#include "pathcodec.h"
#include "pathdisplay.h"
#include "resultmodel.h"
#include "textranks.h"
#include "visiblecontrols.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QStandardItemModel>
#include <QtTest>

#include <limits>
#include <numeric>

namespace {

struct Delivery
{
    QString dirName;
    QList<TFileInfo> hits;
};

// The former table: five items a row, an empty text as an item without
// data, no time item where there is no time, a line's control characters
// shown as symbols; sorted by QStandardItemModel.
QStandardItemModel *referenceModel(const QList<Delivery> &deliveries, QObject *parent)
{
    auto *model = new QStandardItemModel(0, 5, parent);
    auto cell = [](const QString &text) {
        return text.isEmpty() ? new QStandardItem : new QStandardItem(text);
    };
    for (const Delivery &delivery : deliveries) {
        for (const TFileInfo &hit : delivery.hits) {
            QList<QStandardItem *> row;
            row << cell(displayPath(hit.fileName.trimmed())) << cell(displayPath(delivery.dirName))
                << cell(hit.lineNo != 0 ? QString::number(hit.lineNo) : QString())
                << cell(withVisibleControls(hit.lineText));
            if (hit.modified != TFileInfo::kNoTime)
                row << new QStandardItem(QDateTime::fromSecsSinceEpoch(hit.modified)
                                                 .toString(QStringLiteral("yyyy-MM-dd hh:mm")));
            model->appendRow(row);
        }
    }
    return model;
}

void fill(ResultModel &model, const QList<Delivery> &deliveries)
{
    for (const Delivery &delivery : deliveries)
        model.appendHits(delivery.dirName, delivery.hits, 0, delivery.hits.size());
}

// Every cell's text, with "-" for a cell that is not there.
QStringList rows(const QAbstractItemModel &model)
{
    const auto *items = qobject_cast<const QStandardItemModel *>(&model);
    QStringList rows;
    for (int r = 0; r < model.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < 5; ++c) {
            if (items) {
                const QStandardItem *item = items->item(r, c);
                cells << (item ? item->text() : QStringLiteral("-"));
                continue;
            }
            const QVariant text = model.index(r, c).data();
            cells << (text.isValid() ? text.toString() : QStringLiteral("-"));
        }
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

// Deliveries of every kind of cell, several with equal keys so that the
// stability of the sort shows: repeated names and folders, lines of one
// file, blanks around names, odd bytes, empty lines, times missing and equal
// to the minute, line numbers whose text order differs from their order.
QList<Delivery> mixedDeliveries(int count, quint32 seed)
{
    QRandomGenerator random(seed);
    const QStringList names = {"a.txt",
                               " b.txt ",
                               "B.txt",
                               "计划.txt",
                               "pack.zip/x.txt",
                               "   ",
                               decodePath(QByteArray("\xb1\xa8.txt")),
                               "z",
                               "a.txt",
                               "😀.txt",
                               "\uE000.txt"};
    const QStringList dirs = {"/d", "/d ", "/e/f", "/用户", QString()};
    // Lines that share long beginnings and differ at every place within and
    // across groups of four characters, end where others go on (with zeros
    // or other text), differ only in a wide character, or hold controls
    // (sorted as shown: NUL as U+2400, C1 as "\x9B").
    const QString shared = QStringLiteral("    the line that holds ");
    const QStringList lines = {QString(),
                               "the line",
                               "  blanks  ",
                               "the line",
                               "Line",
                               "中文行",
                               shared,
                               shared + "a",
                               shared + "ab",
                               shared + "abc",
                               shared + "abcd",
                               shared + "abcde",
                               shared + "abce",
                               shared + "b",
                               shared + QChar(0) + "x",
                               shared + QChar(0),
                               shared + QString(4, QChar(0)),
                               shared + QChar(0x1B) + "[31m",
                               shared + QChar(0x9B) + "x",
                               shared + "\\x9B",
                               shared + QChar(0x2400),
                               shared + "ab" + QChar(0xFFFF),
                               shared + "ab中",
                               shared + "ab中文",
                               shared.left(23) + "中",
                               shared.repeated(3) + "end",
                               shared.repeated(3) + "end"};
    const qint64 base = QDateTime(QDate(2020, 5, 6), QTime(7, 8)).toSecsSinceEpoch();
    QList<Delivery> deliveries;
    int made = 0;
    while (made < count) {
        Delivery delivery {dirs.at(int(random.bounded(dirs.size()))), {}};
        const int size = 1 + int(random.bounded(40));
        for (int i = 0; i < size && made < count; ++i, ++made) {
            TFileInfo hit;
            hit.fileName = names.at(int(random.bounded(names.size())));
            // Numbers that are prefixes of others, and the largest there are.
            const qint64 far[] = {9,
                                  95,
                                  99,
                                  999999999999999999,
                                  922337203685477580,
                                  std::numeric_limits<qint64>::max()};
            const int kind = int(random.bounded(5));
            hit.lineNo = kind == 0 ? 0
                    : kind == 1    ? random.bounded(12)
                    : kind == 2    ? far[random.bounded(int(std::size(far)))]
                                   : qint64(random.bounded(3)) << 33;
            hit.lineText
                    = hit.lineNo == 0 ? QString() : lines.at(int(random.bounded(lines.size())));
            hit.modified = random.bounded(5) == 0 ? TFileInfo::kNoTime
                                                  : base + qint64(random.bounded(240)) * 20;
            delivery.hits << hit;
        }
        deliveries << delivery;
    }
    return deliveries;
}

QString hex(const QString &text)
{
    return QString::fromLatin1(
            QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2).toHex());
}

}  // namespace

class ResultModelTest : public QObject
{
    Q_OBJECT

private slots:
    void sameCellsAsTheFormerTable();
    void sameOrderAsTheFormerTable_data();
    void sameOrderAsTheFormerTable();
    void selectionFollowsItsRowsWhenSorted();
    void sortsAHundredThousandRowsByEachColumn_data();
    void sortsAHundredThousandRowsByEachColumn();
    void textRanksFollowStringOrder();
};

void ResultModelTest::sameCellsAsTheFormerTable()
{
    const QList<Delivery> deliveries = mixedDeliveries(600, 1);
    ResultModel model;
    fill(model, deliveries);
    QStandardItemModel *reference = referenceModel(deliveries, this);
    QCOMPARE(rows(model), rows(*reference));
    QCOMPARE(model.columnCount(), 5);
    for (int c = 0; c < 5; ++c)
        QCOMPARE(model.headerData(c, Qt::Horizontal).toString(),
                 QStringList({"文件名", "目录", "行号", "内容", "修改时间"}).at(c));

    // The actions read the values as delivered.
    const TFileInfo &last = deliveries.last().hits.last();
    const int row = model.rowCount() - 1;
    QCOMPARE(model.fileName(row), last.fileName);
    QCOMPARE(model.dirName(row), deliveries.last().dirName);
    QCOMPARE(model.lineNo(row), last.lineNo);
    QCOMPARE(model.lineText(row), last.lineText);
    QCOMPARE(model.modified(row), last.modified);

    // Rows handed off to be freed leave an empty model that takes new rows
    // as a fresh one does.
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    {
        BackgroundRelease release;
        model.releaseRows(release);
    }
    QCOMPARE(reset.count(), 1);
    QCOMPARE(model.rowCount(), 0);
    fill(model, deliveries);
    QCOMPARE(rows(model), rows(*reference));
}

void ResultModelTest::sameOrderAsTheFormerTable_data()
{
    QTest::addColumn<QList<int>>("sorts");  // column * 2 + 1 for descending, in turn

    QTest::newRow("by name, ascending") << QList<int> {0};
    QTest::newRow("by name, descending") << QList<int> {1};
    QTest::newRow("by folder, both ways") << QList<int> {2, 3};
    QTest::newRow("by line number, as text") << QList<int> {4, 5};
    QTest::newRow("by content, empty cells at the ends") << QList<int> {6, 7};
    QTest::newRow("by time, rows without a time last either way") << QList<int> {8, 9};
    QTest::newRow("a second sort keeps the first among equal keys") << QList<int> {6, 2, 9, 0};
}

void ResultModelTest::sameOrderAsTheFormerTable()
{
    QFETCH(QList<int>, sorts);
    const QList<Delivery> deliveries = mixedDeliveries(1500, 2);
    ResultModel model;
    fill(model, deliveries);
    QStandardItemModel *reference = referenceModel(deliveries, this);
    for (const int sort : sorts) {
        const Qt::SortOrder order = sort % 2 ? Qt::DescendingOrder : Qt::AscendingOrder;
        model.sort(sort / 2, order);
        reference->sort(sort / 2, order);
        QCOMPARE(rows(model), rows(*reference));
    }

    // Rows that arrive after a sort go below the sorted ones.
    const QList<Delivery> later = mixedDeliveries(30, 3);
    fill(model, later);
    QStandardItemModel *laterReference = referenceModel(later, this);
    QCOMPARE(rows(model), rows(*reference) + rows(*laterReference));
}

void ResultModelTest::selectionFollowsItsRowsWhenSorted()
{
    ResultModel model;
    model.appendHits("/d",
                     {TFileInfo {"c", 0, QString()}, TFileInfo {"a", 0, QString()},
                      TFileInfo {"b", 0, QString()}},
                     0, 3);
    QItemSelectionModel selection(&model);
    selection.select(model.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    model.sort(ResultModel::NameColumn);
    const QModelIndexList selected = selection.selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.first().row(), 2);
    QCOMPARE(model.fileName(2), QStringLiteral("c"));
}

void ResultModelTest::sortsAHundredThousandRowsByEachColumn_data()
{
    QTest::addColumn<int>("column");
    QTest::newRow("name") << 0;
    QTest::newRow("folder") << 1;
    QTest::newRow("line number") << 2;
    QTest::newRow("content") << 3;
    QTest::newRow("time") << 4;
}

void ResultModelTest::sortsAHundredThousandRowsByEachColumn()
{
    QFETCH(int, column);
    QRandomGenerator random(4);
    const qint64 base = QDateTime(QDate(2021, 1, 1), QTime(0, 0)).toSecsSinceEpoch();
    ResultModel model;
    const int total = 100000;
    int made = 0;
    for (int folder = 0; folder < total / 500; ++folder) {
        QList<TFileInfo> hits;
        for (int i = 0; i < 500; ++i, ++made) {
            // The line text names the row, so each row can be followed.
            hits << TFileInfo {QStringLiteral("f%1.txt").arg(random.bounded(5000)),
                               qint64(random.bounded(100000)),  // 0: a name hit, empty cells
                               QStringLiteral("line %1 of %2").arg(random.bounded(70000)).arg(made),
                               TFileInfo::Kind::Hit,
                               random.bounded(50) == 0 ? TFileInfo::kNoTime
                                                       : base + qint64(random.bounded(3000)) * 60};
        }
        model.appendHits(QStringLiteral("/dir%1").arg(random.bounded(300)), hits, 0, hits.size());
    }
    auto rowNames = [&model] {
        QStringList names;
        for (int r = 0; r < model.rowCount(); ++r)
            names << model.lineText(r);
        return names;
    };
    const QStringList before = rowNames();

    // The expected order: a stable sort of the rows by the text the column
    // shows, empty cells last, rows without a time cell after all others.
    enum Kind { Filled, Empty, Missing };
    std::vector<QString> keys(static_cast<size_t>(total));
    std::vector<Kind> kinds(static_cast<size_t>(total));
    for (int r = 0; r < total; ++r) {
        const QVariant shown = model.index(r, column).data();
        keys[size_t(r)] = shown.toString();
        kinds[size_t(r)] = !shown.isValid() ? Missing : keys[size_t(r)].isEmpty() ? Empty : Filled;
    }
    std::vector<int> expected(static_cast<size_t>(total));
    std::iota(expected.begin(), expected.end(), 0);
    std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
        if (kinds[size_t(a)] != Filled || kinds[size_t(b)] != Filled)
            return kinds[size_t(a)] < kinds[size_t(b)];
        return keys[size_t(a)] < keys[size_t(b)];
    });

    QElapsedTimer clock;
    clock.start();
    model.sort(column, Qt::AscendingOrder);
    qInfo("sorting %d rows by column %d took %lld ms", total, column, clock.elapsed());
    const QStringList after = rowNames();
    for (int r = 0; r < total; ++r)
        QCOMPARE(after.at(r), before.at(expected[size_t(r)]));
}

// The ranking by heads against QString's own order, on texts made of few
// code units (zeros, the highest, a wide one) so that long shared
// beginnings, texts ending inside a head, texts of one length that differ
// late, and equal texts are common.
void ResultModelTest::textRanksFollowStringOrder()
{
    QRandomGenerator random(5);
    const QChar units[] = {QChar(0), QChar('a'), QChar('b'), QChar(0x4E2D), QChar(0xFFFF)};
    std::vector<QString> texts;
    for (int i = 0; i < 3000; ++i) {
        QString text = i % 3 == 0 ? QStringLiteral("    the same long beginning ")
                : i % 3 == 1      ? QStringLiteral("\u1234")  // and 30 more: one length
                                  : QString();
        // Mostly 'a': texts alike for a long way that differ late.
        for (int n = i % 3 == 1 ? 30 : int(random.bounded(20)); n > 0; --n)
            text += random.bounded(3) ? units[1] : units[random.bounded(int(std::size(units)))];
        texts.push_back(text);
    }
    const std::vector<int> ranks = textRanksEmptyLast(
            texts.size(), [&](size_t i, auto &&f) { return f(QStringView(texts[i])); });
    for (size_t a = 0; a < texts.size(); a += 7) {
        for (size_t b = 0; b < texts.size(); ++b) {
            const int order = texts[a].isEmpty() || texts[b].isEmpty()
                    ? int(texts[a].isEmpty()) - int(texts[b].isEmpty())
                    : texts[a].compare(texts[b]);
            const int rankOrder = ranks[a] - ranks[b];
            if ((order < 0) != (rankOrder < 0) || (order == 0) != (rankOrder == 0))
                QFAIL(qPrintable(QStringLiteral("%1 and %2").arg(hex(texts[a]), hex(texts[b]))));
        }
    }
}

QTEST_GUILESS_MAIN(ResultModelTest)
#include "test_resultmodel.moc"

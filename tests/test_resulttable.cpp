// The result table, driven by deliveries handed straight to the window.
#include "backgroundrelease.h"
#include "mainwindowparts.h"
#include "messageboxanswerer.h"
#include "pathcodec.h"
#include "pathdisplay.h"
#include "treebuilder.h"

#include <QHeaderView>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <utime.h>

namespace {

const QDateTime knownTime(QDate(2021, 3, 4), QTime(5, 6, 7));

QStringList columnTexts(const MainWindowParts &parts, int column)
{
    QStringList texts;
    for (int row = 0; row < parts.model()->rowCount(); ++row)
        texts << parts.cell(row, column);
    return texts;
}

// Calls `onYield` with the row count whenever the event loop is served while
// a batch is half shown.
class YieldProbe : public QObject
{
public:
    YieldProbe(const MainWindowParts &parts, int batchSize, std::function<void(int)> onYield)
    {
        connect(&timer, &QTimer::timeout, [&parts, batchSize, onYield] {
            const int rows = parts.model()->rowCount();
            if (rows > 0 && rows < batchSize)
                onYield(rows);
        });
        timer.start(0);
    }

private:
    QTimer timer;
};

}  // namespace

class ResultTableTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void freshTableHasFiveColumnsAndInitialWidths();
    void fileTimesAreLookedUpOncePerFile_data();
    void fileTimesAreLookedUpOncePerFile();
    void rowCells_data();
    void rowCells();
    void oddNamesShowInTheUsersCodePage_data();
    void oddNamesShowInTheUsersCodePage();
    void runShowsBoundedBatchesWhileTheCountLeads_data();
    void runShowsBoundedBatchesWhileTheCountLeads();
    void largeBatchServesTheEventLoopEvery5000Rows();
    void interruptedBatch_data();
    void interruptedBatch();
    void stopDisplay_data();
    void stopDisplay();
    void sortedRowsKeepLaterArrivalsBelow();
    void columnsAreFittedWhenTheBufferRunsDry();
    void busyBarCyclesOnlyWhileShown();
    void displayRunsOnlyWhileThereIsWork_data();
    void displayRunsOnlyWhileThereIsWork();
    void releasedBatchesAreDestroyedOnTheReleaseThreadInOrder();

private:
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainWindowParts> parts;
};

void ResultTableTest::init()
{
    window = std::make_unique<MainWindow>();
    parts = std::make_unique<MainWindowParts>(*window);
    QVERIFY(parts->complete());
}

void ResultTableTest::cleanup()
{
    parts.reset();
    window.reset();
}

void ResultTableTest::freshTableHasFiveColumnsAndInitialWidths()
{
    QAbstractItemModel *model = parts->model();
    QVERIFY(model);
    QCOMPARE(model->columnCount(), 5);
    QStringList headers;
    for (int c = 0; c < 5; ++c)
        headers << model->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, QStringList({"文件名", "目录", "行号", "内容", "修改时间"}));
    QCOMPARE(parts->table->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    QCOMPARE(parts->table->columnWidth(0), 80);
    QCOMPARE(parts->table->columnWidth(1), 250);
    QCOMPARE(parts->table->columnWidth(2), 50);

    // The display runs whenever the loop is idle and writes the count.
    QTRY_COMPARE(parts->countLabel->text(), QStringLiteral("找到目标数:0"));
}

void ResultTableTest::fileTimesAreLookedUpOncePerFile_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QVector<int>>("givenTimes");  // 0: the hit comes without one
    QTest::addColumn<QVector<int>>("filledTimes");
    QTest::addColumn<QStringList>("lookUps");

    // On disk: /d/a at 100, /d/b at 200; nothing else.
    QTest::newRow("a file's many lines cost one look-up")
            << QStringList {"a", "a", "a"} << QVector<int> {0, 0, 0} << QVector<int> {100, 100, 100}
            << QStringList {"/d/a"};
    QTest::newRow("hits that carry a time keep it and cost no look-up")
            << QStringList {"a", "b"} << QVector<int> {5, 6} << QVector<int> {5, 6}
            << QStringList {};
    QTest::newRow("a name not on disk is looked up once and stays without a time")
            << QStringList {"a.gz/a", "a.gz/a", "a.gz/a"} << QVector<int> {0, 0, 0}
            << QVector<int> {0, 0, 0} << QStringList {"/d/a.gz/a"};
    QTest::newRow("each change of file is a look-up, also back to an earlier file")
            << QStringList {"a", "b", "a"} << QVector<int> {0, 0, 0} << QVector<int> {100, 200, 100}
            << QStringList {"/d/a", "/d/b", "/d/a"};
    QTest::newRow("a hit with its own time between a file's lines keeps the look-up")
            << QStringList {"a", "b", "a"} << QVector<int> {0, 7, 0} << QVector<int> {100, 7, 100}
            << QStringList {"/d/a"};
    QTest::newRow("a timed line of a file is not taken for the whole file")
            << QStringList {"a", "a"} << QVector<int> {9, 0} << QVector<int> {9, 100}
            << QStringList {"/d/a"};
}

void ResultTableTest::fileTimesAreLookedUpOncePerFile()
{
    QFETCH(QStringList, names);
    QFETCH(QVector<int>, givenTimes);
    QFETCH(QVector<int>, filledTimes);
    QFETCH(QStringList, lookUps);

    QList<TFileInfo> hits;
    for (int i = 0; i < names.size(); ++i) {
        TFileInfo hit {names.at(i), i + 1, QStringLiteral("a line")};
        if (givenTimes.at(i) != 0)
            hit.modified = givenTimes.at(i);
        hits << hit;
    }
    const QList<TFileInfo> delivered = hits;
    QStringList asked;
    fillMissingFileTimes(QStringLiteral("/d"), hits, [&asked](const QString &path) {
        asked << path;
        return path == "/d/a" ? 100 : path == "/d/b" ? 200 : TFileInfo::kNoTime;
    });

    QCOMPARE(asked, lookUps);
    QCOMPARE(hits, delivered);  // the same hits, in the same order
    for (int i = 0; i < hits.size(); ++i) {
        const qint64 expected = filledTimes.at(i) ? filledTimes.at(i) : TFileInfo::kNoTime;
        QCOMPARE(hits.at(i).modified, expected);
        // The list the search thread emitted is another owner's: untouched.
        QCOMPARE(delivered.at(i).modified,
                 givenTimes.at(i) ? qint64(givenTimes.at(i)) : TFileInfo::kNoTime);
    }
}

void ResultTableTest::rowCells_data()
{
    QTest::addColumn<QString>("fileOnDisk");  // created below the tree, empty for none
    QTest::addColumn<QString>("dirName");     // relative to the tree; "@" stands for the tree
    QTest::addColumn<TFileInfo>("hit");
    QTest::addColumn<QStringList>("cells");  // "@" stands for the tree, "<time>" for knownTime

    QTest::newRow("a name hit shows its time and empty line cells")
            << "a.txt"
            << "@" << TFileInfo {"a.txt", 0, QString()}
            << QStringList {"a.txt", "@", "", "", "<time>"};
    QTest::newRow("a content hit shows its line number and the line unchanged")
            << "b.txt"
            << "@" << TFileInfo {"b.txt", 12, "  two  blanks  "}
            << QStringList {"b.txt", "@", "12", "  two  blanks  ", "<time>"};
    QTest::newRow("a binary file's line shows its control bytes as symbols")
            << "bin.dat"
            << "@" << TFileInfo {"bin.dat", 1, QString::fromLatin1("ELF\0\x01\x1b[2J", 9)}
            << QStringList {"bin.dat", "@", "1", QString::fromUtf8("ELF\u2400\u2401\u241b[2J"),
                            "<time>"};
    QTest::newRow("blanks around the file name are trimmed in the cell, not in the time's path")
            << "  c.txt "
            << "@" << TFileInfo {"  c.txt ", 0, QString()}
            << QStringList {"c.txt", "@", "", "", "<time>"};
    QTest::newRow("a folder hit shows the folder's time")
            << "sub/inner.txt"
            << "@" << TFileInfo {"sub", 0, QString()} << QStringList {"sub", "@", "", "", "<time>"};
    QTest::newRow("a hit inside an archive that keeps no time has no time item")
            << "pack.zip"
            << "@" << TFileInfo {"pack.zip/member.txt", 3, "line"}
            << QStringList {"pack.zip/member.txt", "@", "3", "line", "<no item>"};
    QTest::newRow("a hit inside an archive shows the time the archive gives its member")
            << "pack.zip"
            << "@"
            << TFileInfo {"pack.zip/member.txt", 3, "line", TFileInfo::Kind::Hit,
                          knownTime.toSecsSinceEpoch()}
            << QStringList {"pack.zip/member.txt", "@", "3", "line", "<time>"};
    QTest::newRow("a directory with a trailing blank is shown as delivered")
            << "e /d.txt"
            << "@/e " << TFileInfo {"d.txt", 0, QString()}
            << QStringList {"d.txt", "@/e ", "", "", "<time>"};
    QTest::newRow("a line number past 2^32 is shown whole")
            << "f.txt"
            << "@" << TFileInfo {"f.txt", (qint64(1) << 32) + 1, "x"}
            << QStringList {"f.txt", "@", "4294967297", "x", "<time>"};
}

void ResultTableTest::rowCells()
{
    QFETCH(QString, fileOnDisk);
    QFETCH(QString, dirName);
    QFETCH(TFileInfo, hit);
    QFETCH(QStringList, cells);

    TreeBuilder tree;
    const QString file = tree.file(fileOnDisk);
    tree.setModified(fileOnDisk, knownTime);
    if (fileOnDisk.contains('/')) {
        // The folder's own time, after its content was written.
        const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
        const utimbuf times {knownTime.toSecsSinceEpoch(), knownTime.toSecsSinceEpoch()};
        QCOMPARE(utime(folder.constData(), &times), 0);
    }
    const QString root = QDir::toNativeSeparators(tree.root());
    dirName.replace('@', root);
    for (QString &cell : cells) {
        cell.replace('@', root);
        cell.replace("<time>", knownTime.toString("yyyy-MM-dd hh:mm"));
    }

    parts->deliver(dirName, {hit});
    QTRY_COMPARE(parts->model()->rowCount(), 1);
    QStringList shown;
    for (int c = 0; c < 5; ++c)
        shown << parts->cell(0, c);
    QCOMPARE(shown, cells);
}

void ResultTableTest::oddNamesShowInTheUsersCodePage_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("shown");

    QTest::newRow("a name that decodes shows as it is")
            << "zh_CN" << QByteArray("/tmp/计划.txt") << QString("/tmp/计划.txt");
    QTest::newRow("a GBK name reads as Chinese for a user in China")
            << "zh_CN" << QByteArray("/tmp/\xb1\xa8\xb8\xe6.txt") << QString("/tmp/报告.txt");
    QTest::newRow("a Big5 name reads as Chinese for a user in Taiwan")
            << "zh_TW" << QByteArray("/tmp/\xb3\xf8\xa7\x69.txt") << QString("/tmp/報告.txt");
    QTest::newRow("a Shift_JIS name reads as Japanese")
            << "ja_JP" << QByteArray("\x83\x65\x83\x58\x83\x67.txt") << QString("テスト.txt");
    QTest::newRow("a windows-1251 name reads as Russian")
            << "ru_RU" << QByteArray("\xf4\xe0\xe9\xeb") << QString("файл");
    QTest::newRow("a windows-1252 name reads as French")
            << "fr_FR" << QByteArray("caf\xe9") << QString("café");
    QTest::newRow("a byte the user's code page does not decode is marked")
            << "zh_CN" << QByteArray("/tmp/b\xff.txt") << QString("/tmp/b\uFFFD.txt");
    QTest::newRow("the C locale marks every odd byte")
            << "C" << QByteArray("\xb1\xa8.txt") << QString("\uFFFD\uFFFD.txt");
    QTest::newRow("each folder of a path is read on its own")
            << "zh_CN" << QByteArray("/用户/\xb1\xa8\xb8\xe6/x\xff")
            << QString("/用户/报告/x\uFFFD");
    QTest::newRow("a right-to-left override shows as its code, not as a turned name")
            << "zh_CN" << QByteArray("/tmp/invoice\u202Efdp.sh")
            << QString("/tmp/invoice<U+202E>fdp.sh");
    QTest::newRow("isolates, marks and zero-width spaces show as their codes")
            << "zh_CN" << QByteArray("/tmp/a\u2067b\u200Fc\u200Bd\uFEFF")
            << QString("/tmp/a<U+2067>b<U+200F>c<U+200B>d<U+FEFF>");
    QTest::newRow("a line feed in a name shows as its control picture, a tab as its code")
            << "zh_CN" << QByteArray("/tmp/two\nlines\t.txt")
            << QString("/tmp/two\u240Alines<U+0009>.txt");
    QTest::newRow("a hidden character beside an odd byte is shown too")
            << "C" << QByteArray("/tmp/x\xff\u202E.txt") << QString("/tmp/x\uFFFD<U+202E>.txt");
    QTest::newRow("joiners that shape scripts and emoji stay as they are")
            << "fa_IR" << QByteArray("/tmp/\u0645\u06CC\u200C\u062E\U0001F468\u200D\U0001F469")
            << QString("/tmp/\u0645\u06CC\u200C\u062E\U0001F468\u200D\U0001F469");
    QTest::newRow("a tag character beyond the basic plane shows as its code")
            << "zh_CN" << QByteArray("/tmp/a\U000E0041b") << QString("/tmp/a<U+E0041>b");
}

void ResultTableTest::oddNamesShowInTheUsersCodePage()
{
    QFETCH(QString, locale);
    QFETCH(QByteArray, path);
    QFETCH(QString, shown);
    QCOMPARE(displayPath(decodePath(path), QLocale(locale)), shown);

    // In the table, with the user's language as the default locale.
    TreeBuilder tree;
    const QString file = tree.rawFile(path.mid(path.lastIndexOf('/') + 1));
    const QString dir = file.left(file.lastIndexOf('/'));
    QLocale::setDefault(QLocale(locale));
    const auto restoreLocale = qScopeGuard([] { QLocale::setDefault(QLocale::system()); });
    parts->deliver(dir, {TFileInfo {file.mid(dir.size() + 1), 0, QString()}});
    QTRY_COMPARE(parts->model()->rowCount(), 1);
    QCOMPARE(parts->cell(0, 0), shown.mid(shown.lastIndexOf('/') + 1));
    QVERIFY2(parts->cell(0, 4) != "<no item>", "the time is read from the file's own bytes");
}

void ResultTableTest::runShowsBoundedBatchesWhileTheCountLeads_data()
{
    QTest::addColumn<QVector<int>>("batchSizes");
    QTest::addColumn<QVector<int>>("rowsAfterRuns");

    QTest::newRow("single hits: fifty batches a run")
            << QVector<int>(125, 1) << QVector<int>({50, 100, 125});
    QTest::newRow("a run stops at 5,000 rows, inside the batch that crosses them")
            << QVector<int>({3000, 3000, 10}) << QVector<int>({5000, 6010});
    QTest::newRow("a batch that fills a run exactly leaves the next for the next run")
            << QVector<int>({5000, 1}) << QVector<int>({5000, 5001});
}

void ResultTableTest::runShowsBoundedBatchesWhileTheCountLeads()
{
    QFETCH(QVector<int>, batchSizes);
    QFETCH(QVector<int>, rowsAfterRuns);
    int found = 0;
    for (int i = 0; i < batchSizes.size(); ++i) {
        parts->deliver(QStringLiteral("/d%1").arg(i), numberedNameHits(batchSizes.at(i)));
        found += batchSizes.at(i);
    }
    QCOMPARE(parts->model()->rowCount(), 0);  // nothing is shown on arrival

    for (const int rows : rowsAfterRuns) {
        parts->showRun();
        QCOMPARE(parts->model()->rowCount(), rows);
        QCOMPARE(parts->countLabel->text(), QStringLiteral("找到目标数:%1").arg(found));
    }
    // Delivery order is kept.
    QCOMPARE(parts->cell(0, 1), QStringLiteral("/d0"));
    QCOMPARE(parts->cell(found - 1, 1), QStringLiteral("/d%1").arg(batchSizes.size() - 1));
    QCOMPARE(parts->cell(found - 1, 0),
             numberedNameHits(batchSizes.constLast()).constLast().fileName);
}

void ResultTableTest::largeBatchServesTheEventLoopEvery5000Rows()
{
    QList<int> rowsAtYield;
    YieldProbe probe(*parts, 12000, [&](int rows) {
        if (!rowsAtYield.contains(rows))
            rowsAtYield << rows;
    });
    parts->deliver("/big", numberedNameHits(12000));
    QTRY_COMPARE(parts->model()->rowCount(), 12000);
    QCOMPARE(rowsAtYield, QList<int>({5000, 10000}));
}

void ResultTableTest::interruptedBatch_data()
{
    QTest::addColumn<bool>("newSearch");
    QTest::newRow("a new search during a large batch drops the batch's remaining rows") << true;
    QTest::newRow("stop display during a large batch drops the batch's remaining rows") << false;
}

void ResultTableTest::interruptedBatch()
{
    QFETCH(bool, newSearch);
    TreeBuilder tree;
    tree.file("only.txt");
    parts->find->setEditText("no-such-name-anywhere");
    parts->dir->setEditText(tree.root());

    QAbstractItemModel *oldModel = parts->model();
    bool acted = false;
    YieldProbe probe(*parts, 12000, [&](int) {
        if (acted)
            return;
        acted = true;
        QMetaObject::invokeMethod(&*window, newSearch ? "do_search" : "do_stopShowTab",
                                  Qt::DirectConnection);
    });
    parts->deliver("/big", numberedNameHits(12000));
    parts->deliver("/next", numberedNameHits(2));  // buffered behind it: dropped too
    QTRY_VERIFY(acted);

    if (newSearch) {
        QVERIFY(parts->model() != oldModel);
        QTRY_COMPARE(parts->searchButton->text(), QStringLiteral("搜索"));
        QTest::qWait(50);
        QCOMPARE(parts->model()->rowCount(), 0);
        QCOMPARE(parts->countLabel->text(), QStringLiteral("找到目标数:0"));
    } else {
        QCOMPARE(parts->model()->rowCount(), 5000);
        QTest::qWait(50);
        QCOMPARE(parts->model()->rowCount(), 5000);
        QCOMPARE(parts->countLabel->text(),
                 QStringLiteral("找到文件数:12002        尚有7002个文件未显示"));
    }
}

void ResultTableTest::stopDisplay_data()
{
    QTest::addColumn<int>("shownFirst");
    QTest::addColumn<int>("buffered");
    QTest::addColumn<QString>("label");

    QTest::newRow("hits still buffered are dropped and named in the remark")
            << 0 << 3 << "找到文件数:3        尚有3个文件未显示";
    QTest::newRow("shown and buffered hits: the remark counts only the buffered ones")
            << 2 << 3 << "找到文件数:5        尚有3个文件未显示";
    QTest::newRow("with everything shown there is no remark") << 4 << 0 << "找到文件数:4";
}

void ResultTableTest::stopDisplay()
{
    QFETCH(int, shownFirst);
    QFETCH(int, buffered);
    QFETCH(QString, label);

    if (shownFirst) {
        parts->deliver("/shown", numberedNameHits(shownFirst));
        QTRY_COMPARE(parts->model()->rowCount(), shownFirst);
    }
    if (buffered)
        parts->deliver("/buffered", numberedNameHits(buffered));
    QMetaObject::invokeMethod(&*window, "do_stopShowTab", Qt::DirectConnection);
    QCOMPARE(parts->countLabel->text(), label);

    // The remark outlives the display runs that follow at once ...
    QTest::qWait(50);
    QCOMPARE(parts->countLabel->text(), label);
    QCOMPARE(parts->model()->rowCount(), shownFirst);

    // ... until the search delivers again; later deliveries are shown.
    parts->deliver("/later", nameHits({"late.txt"}));
    QTRY_COMPARE(parts->model()->rowCount(), shownFirst + 1);
    QCOMPARE(parts->cell(shownFirst, 0), QStringLiteral("late.txt"));
    QTRY_COMPARE(parts->countLabel->text(),
                 QStringLiteral("找到目标数:%1").arg(shownFirst + buffered + 1));
}

void ResultTableTest::sortedRowsKeepLaterArrivalsBelow()
{
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(&*window));
    parts->deliver("/d", nameHits({"b", "c", "a"}));
    QTRY_COMPARE(parts->model()->rowCount(), 3);

    QHeaderView *header = parts->table->horizontalHeader();
    const QPoint firstSection(header->sectionViewportPosition(0) + 5, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, firstSection);
    const QStringList sorted = header->sortIndicatorOrder() == Qt::AscendingOrder
            ? QStringList({"a", "b", "c"})
            : QStringList({"c", "b", "a"});
    QCOMPARE(columnTexts(*parts, 0), sorted);

    parts->deliver("/d", nameHits({"0", "z"}));
    QTRY_COMPARE(parts->model()->rowCount(), 5);
    QCOMPARE(columnTexts(*parts, 0), sorted + QStringList({"0", "z"}));
}

void ResultTableTest::columnsAreFittedWhenTheBufferRunsDry()
{
    const QString longName = QString(60, QLatin1Char('n')) + QStringLiteral(".txt");
    const int textWidth = parts->table->fontMetrics().horizontalAdvance(longName);
    QVERIFY(parts->table->columnWidth(0) < textWidth);
    parts->deliver("/d", nameHits({longName}));
    QTRY_VERIFY(parts->table->columnWidth(0) >= textWidth);
}

void ResultTableTest::busyBarCyclesOnlyWhileShown()
{
    // Hidden: the runs leave the bar alone.
    for (int i = 0; i < 5; ++i)
        parts->showRun();
    QCOMPARE(parts->busyBar->value(), parts->busyBar->minimum() - 1);  // never set

    parts->busyBar->show();
    for (int i = 0; i < 399; ++i)
        parts->showRun();
    QCOMPARE(parts->busyBar->value(), 399);
    parts->showRun();
    QCOMPARE(parts->busyBar->value(), 0);  // starts again after 400 steps
}

void ResultTableTest::displayRunsOnlyWhileThereIsWork_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("fewestRuns");  // display runs in the second after the action
    QTest::addColumn<int>("mostRuns");

    // A display that spins with the event loop runs many thousand times a second.
    QTest::newRow("an idle window does not run the display") << "nothing" << 0 << 2;
    QTest::newRow("a delivery wakes the display until its batches are shown")
            << "deliver" << 3 << 8;
    QTest::newRow("stop display wakes the display for one run") << "stop display" << 1 << 3;
    QTest::newRow("a running search moves the busy bar a few dozen steps a second")
            << "search" << 5 << 200;
    QTest::newRow("a search that has ended lets the display sleep again")
            << "search and stop" << 0 << 2;
}

void ResultTableTest::displayRunsOnlyWhileThereIsWork()
{
    QFETCH(QString, action);
    QFETCH(int, fewestRuns);
    QFETCH(int, mostRuns);

    auto *showTimer = window->findChild<QTimer *>(QStringLiteral("showTimer"));
    QVERIFY(showTimer);
    QTRY_COMPARE(parts->countLabel->text(), QStringLiteral("找到目标数:0"));
    QTRY_VERIFY(!showTimer->isActive());

    TreeBuilder tree;
    if (action.startsWith("search")) {
        // A deep search for a text that is nowhere reads every line through
        // every codec: it runs for seconds and delivers nothing.
        for (int i = 0; i < 20; ++i)
            tree.file(QStringLiteral("lines%1.txt").arg(i), QByteArray("a\n").repeated(250000));
        parts->find->setEditText("*.txt");
        parts->grep->setEditText("zzz-not-there");
        parts->dir->setEditText(tree.root());
        window->findChild<QCheckBox *>("checkBox_deepSearch")->setChecked(true);
        QMetaObject::invokeMethod(&*window, "do_search", Qt::DirectConnection);
        QVERIFY(parts->worker->isRunning());
    }
    if (action == "search and stop") {
        QMetaObject::invokeMethod(&*window, "do_search", Qt::DirectConnection);
        QVERIFY(parts->worker->wait(5000));
        QTRY_VERIFY(parts->busyBar->isHidden());
        QTRY_VERIFY(!showTimer->isActive());
    }
    if (action == "deliver") {
        for (int i = 0; i < 125; ++i)
            parts->deliver(QStringLiteral("/d%1").arg(i), nameHits({QStringLiteral("f%1").arg(i)}));
    }
    if (action == "stop display")
        QMetaObject::invokeMethod(&*window, "do_stopShowTab", Qt::DirectConnection);

    const int barBefore = parts->busyBar->value();
    QSignalSpy runs(showTimer, &QTimer::timeout);
    QTest::qWait(1000);
    const int barSteps = (parts->busyBar->value() - barBefore + 400) % 400;
    QVERIFY2(runs.count() >= fewestRuns && runs.count() <= mostRuns,
             qPrintable(QString::number(runs.count())));

    if (action == "deliver")
        QCOMPARE(parts->model()->rowCount(), 125);
    if (action == "search") {
        QVERIFY2(barSteps >= fewestRuns && barSteps <= mostRuns,
                 qPrintable(QString::number(barSteps)));
        QMetaObject::invokeMethod(&*window, "do_search", Qt::DirectConnection);
        QVERIFY(parts->worker->wait(5000));
    }
}

// What the table is done with is destroyed off the GUI thread, in the order
// handed over, and none of it is left when the release goes.
void ResultTableTest::releasedBatchesAreDestroyedOnTheReleaseThreadInOrder()
{
    struct Destroyed
    {
        int number;
        std::thread::id thread;
    };
    std::mutex mutex;
    std::vector<Destroyed> destroyed;
    struct Witness
    {
        Witness(int number, std::vector<Destroyed> *log, std::mutex *mutex)
            : number(number), log(log), mutex(mutex)
        {
        }
        Witness(Witness &&other) noexcept
            : number(std::exchange(other.number, -1)), log(other.log), mutex(other.mutex)
        {
        }
        ~Witness()
        {
            if (number < 0)
                return;  // moved from
            const std::lock_guard<std::mutex> lock(*mutex);
            log->push_back({number, std::this_thread::get_id()});
        }
        int number;
        std::vector<Destroyed> *log;
        std::mutex *mutex;
    };
    constexpr int kHanded = 2000;
    {
        BackgroundRelease release;
        for (int i = 0; i < kHanded; ++i)
            release.release(Witness(i, &destroyed, &mutex));
        // A batch of hits too, as the table hands them over.
        release.release(
                QList<ResultBatch> {ResultBatch {"/a", {TFileInfo {"b.txt", 1, "needle"}}}});
    }
    QCOMPARE(int(destroyed.size()), kHanded);
    for (int i = 0; i < kHanded; ++i) {
        QCOMPARE(destroyed[size_t(i)].number, i);
        QVERIFY(destroyed[size_t(i)].thread != std::this_thread::get_id());
    }
}

QTEST_MAIN(ResultTableTest)
#include "test_resulttable.moc"

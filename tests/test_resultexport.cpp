// Export of the result table, read back by Python's csv and json modules.
#include "mainwindow.h"
#include "messageboxanswerer.h"
#include "pathcodec.h"
#include "resultwindowfixture.h"
#include "treebuilder.h"
#include "visiblecontrols.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The file as Python reads it: CSV rows as lists (utf-8-sig drops the
// byte-order mark), or the JSON objects of a JSON-lines file; as JSON.
QJsonArray readWithPython(const QString &path, bool csv)
{
    const QString script = csv
            ? QStringLiteral("import csv, json, sys\n"
                             "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
                             "    print(json.dumps(list(csv.reader(f))))\n")
            : QStringLiteral("import json, sys\n"
                             "with open(sys.argv[1], encoding='utf-8') as f:\n"
                             "    print(json.dumps([json.loads(line) for line in f]))\n");
    QProcess python;
    python.start(QStringLiteral("python3"), {QStringLiteral("-c"), script, path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) {
        qWarning("%s", python.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array();
}

}  // namespace

class ResultExportTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void readBackEqualsTheTable_data();
    void readBackEqualsTheTable();
    void bytesBeginWithTheMarkAndLinesEndInCrLf();
    void unwritableFileIsReported();

private:
    void exportTo(const QString &path, const QString &filter);

    TreeBuilder tree;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ResultTable> results;
    QTemporaryDir out;
};

void ResultExportTest::init()
{
    tree.file(QStringLiteral("plan.txt"));
    window = std::make_unique<MainWindow>();
    results = std::make_unique<ResultTable>(*window);
    QVERIFY(results->deliver(tree.root(),
                             {contentHit("plan.txt", 12, "  a, \"quoted\" line \r with a CR"),
                              contentHit("计划,表.txt", 3, "中文内容"),
                              nameHit("pack.zip/doc/x.txt"),
                              contentHit(decodePath(QByteArray("odd\xff.txt")), 7, "tab\there"),
                              contentHit("plan.txt", 4294967297, "=SUM(A1)")}));
    QVERIFY(results->deliver(tree.root() + QStringLiteral("/sub dir"), {nameHit("b")}));
}

void ResultExportTest::cleanup()
{
    results.reset();
    window.reset();
}

void ResultExportTest::exportTo(const QString &path, const QString &filter)
{
    window->setSaveFileChooser([&](QWidget *, const QString &, const QString &,
                                   const QString &filters, QString *selected) {
        *selected = filters.split(QStringLiteral(";;")).filter(filter).value(0);
        return path;
    });
    results->run("do_exportResults");
}

void ResultExportTest::readBackEqualsTheTable_data()
{
    QTest::addColumn<bool>("csv");
    QTest::addColumn<bool>("nameSearch");  // the line and content columns hidden
    QTest::newRow("CSV has the table's texts in its order") << true << false;
    QTest::newRow("CSV of a name search leaves the hidden columns out") << true << true;
    QTest::newRow("JSON lines have velto-find's fields") << false << false;
}

void ResultExportTest::readBackEqualsTheTable()
{
    QFETCH(bool, csv);
    QFETCH(bool, nameSearch);
    results->table()->setColumnHidden(2, nameSearch);
    results->table()->setColumnHidden(3, nameSearch);
    results->table()->sortByColumn(0, Qt::DescendingOrder);
    const QString path = out.filePath(csv ? QStringLiteral("r.csv") : QStringLiteral("r.jsonl"));
    exportTo(path, csv ? QStringLiteral("csv") : QStringLiteral("jsonl"));
    const QJsonArray read = readWithPython(path, csv);
    const int rows = results->rowCount();
    QCOMPARE(read.size(), rows + (csv ? 1 : 0));

    const QList<int> columns = nameSearch ? QList<int> {0, 1, 4} : QList<int> {0, 1, 2, 3, 4};
    if (csv) {
        QJsonArray header;
        for (const int c : columns)
            header << results->table()->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(read.at(0).toArray(), header);
    }
    for (int row = 0; row < rows; ++row) {
        if (csv) {
            QJsonArray cells;
            for (const int c : columns)
                cells << results->cell(row, c);
            QCOMPARE(read.at(row + 1).toArray(), cells);
            continue;
        }
        // The fields velto-find --json writes, the exact bytes of odd names beside.
        const QJsonObject object = read.at(row).toObject();
        const QString name = results->cell(row, 0);
        QCOMPARE(object.keys().contains("file_bytes"), name.contains(QChar(0xFFFD)));
        QCOMPARE(object.value("file").toString(), name);
        QCOMPARE(object.value("dir").toString(), results->cell(row, 1));
        const QString line = results->cell(row, 2);
        QCOMPARE(object.value("line").toDouble(), line.isEmpty() ? 0.0 : line.toDouble());
        // The table shows control characters as symbols; JSON keeps the line.
        QCOMPARE(withVisibleControls(object.value("text").toString()), results->cell(row, 3));
    }
}

void ResultExportTest::bytesBeginWithTheMarkAndLinesEndInCrLf()
{
    const QString path = out.filePath(QStringLiteral("r.csv"));
    exportTo(path, QStringLiteral("csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"
                             "文件名,目录,行号,内容,修改时间\r\n"));
    QVERIFY(bytes.endsWith(",,\r\n"));  // the last row: a name hit without a time
}

void ResultExportTest::unwritableFileIsReported()
{
    const QString path = out.filePath(QStringLiteral("no-such-folder/r.csv"));
    MessageBoxAnswerer answerer(QMessageBox::Ok);
    exportTo(path, QStringLiteral("csv"));
    QVERIFY(answerer.answered());
    QVERIFY2(answerer.text().contains(path), qPrintable(answerer.text()));
    QVERIFY(!QFile::exists(path));
}

QTEST_MAIN(ResultExportTest)
#include "test_resultexport.moc"

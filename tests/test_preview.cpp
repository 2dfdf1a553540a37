// The preview of a hit: the lines around it read on the pane's own thread.
#include "archivebuilder.h"
#include "codecs.h"
#include "icuconvertercodec.h"
#include "mainwindow.h"
#include "previewpane.h"
#include "readerjobs.h"
#include "readerprocesspool.h"
#include "resultwindowfixture.h"
#include "timescale.h"
#include "treebuilder.h"
#include "zipbuilder.h"

#include <QAction>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextCodec>
#include <QtTest>

namespace {

QByteArray numberedLines(int count, int markedLine, const QByteArray &mark)
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += "line " + QByteArray::number(i) + (i == markedLine ? " " + mark : QByteArray())
                + "\n";
    return text;
}

// The marked text of the pane: the hit's line, then each highlighted part.
QStringList marks(const PreviewPane &pane)
{
    QStringList seen;
    for (const QTextEdit::ExtraSelection &mark : pane.textView()->extraSelections())
        seen << (mark.cursor.hasSelection() ? mark.cursor.selectedText()
                                            : "line " + mark.cursor.block().text());
    return seen;
}

bool waitUntilShown(const PreviewPane &pane)
{
    return QTest::qWaitFor([&] { return pane.statusText().isEmpty(); }, 5000 * kTimeScale);
}

// The longest time the event loop went without running a 5 ms timer while
// this lived: how long the window did not answer.
class EventLoopGaps
{
public:
    EventLoopGaps()
    {
        clock.start();
        QObject::connect(&tick, &QTimer::timeout, [this] {
            longestGap = qMax(longestGap, clock.elapsed() - last);
            last = clock.elapsed();
        });
        tick.start(5);
    }
    qint64 longest() const { return longestGap; }

private:
    QElapsedTimer clock;
    QTimer tick;
    qint64 longestGap = 0;
    qint64 last = 0;
};

QByteArray sampleDocument(const QString &name)
{
    QFile file(QStringLiteral(VELTO_FIXTURES_DIR "/documents/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a pane whose archives and documents are read by `readers` (in this
// process when null) shows of a hit, once read: what it says, the first
// line's number, the text and the marks.
QStringList shownBy(ReaderProcessPool *readers, const QString &path, const QString &member,
                    qint64 lineNo, const TextQuery &query, bool documents = false,
                    const QByteArray &codec = QByteArray())
{
    PreviewPane pane(readers);
    pane.showHit(path, member, lineNo, query, codec, documents);
    const QString reading = pane.statusText();
    if (!QTest::qWaitFor([&] { return pane.statusText() != reading; }, 10000 * kTimeScale))
        return {QStringLiteral("still reading")};
    return QStringList {pane.statusText(), QString::number(pane.textView()->firstLineNo()),
                        pane.textView()->toPlainText()}
    + marks(pane);
}

// The same through the reader processes and in this process: what the
// preview shows does not depend on where the file is parsed.
QStringList shownApartAndHere(const QString &path, const QString &member, qint64 lineNo,
                              const TextQuery &query, bool documents = false,
                              const QByteArray &codec = QByteArray())
{
    const QStringList apart
            = shownBy(sharedReaderProcesses(), path, member, lineNo, query, documents, codec);
    const QStringList here = shownBy(nullptr, path, member, lineNo, query, documents, codec);
    return apart == here ? apart
                         : QStringList {QStringLiteral("apart and here differ")} + apart + here;
}

}  // namespace

class PreviewTest : public QObject
{
    Q_OBJECT

private slots:
    void showsTheLinesAroundTheHit_data();
    void showsTheLinesAroundTheHit();
    void marksWhatTheSearchMatched_data();
    void marksWhatTheSearchMatched();
    void anArchiveMemberIsReadFromTheArchive();
    void aMemberIsFoundByTheNameItsHitCarries_data();
    void aMemberIsFoundByTheNameItsHitCarries();
    void aDocumentShowsItsTextWithPlaces_data();
    void aDocumentShowsItsTextWithPlaces();
    void aReaderThatFailsCostsThePreviewOnly_data();
    void aReaderThatFailsCostsThePreviewOnly();
    void aNewerRequestAbandonsTheReader();
    void aFileThatGrowsIsReadAsItWasOpened();
    void aFileThatLostTheLineSaysSo();
    void theWindowAnswersWhileAHugeFileIsRead();
    void followsTheSelectedRowWhileShown();

private:
    TreeBuilder tree;
};

void PreviewTest::showsTheLinesAroundTheHit_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("lineNo");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("caseSensitive");
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<qint64>("firstShown");
    QTest::addColumn<int>("linesShown");
    QTest::addColumn<QStringList>("marked");

    QTest::newRow("a content hit: 200 lines either side, the line and its matches marked")
            << numberedLines(1000, 500, "needle and needle") << qint64(500) << "needle" << 1
            << QByteArray() << qint64(300) << 401
            << QStringList {"line line 500 needle and needle", "needle", "needle"};
    QTest::newRow("a hit near the start shows from line 1")
            << numberedLines(50, 3, "Needle") << qint64(3) << "needle" << 0 << QByteArray()
            << qint64(1) << 50 << QStringList {"line line 3 Needle", "Needle"};
    QTest::newRow("case is kept as the search kept it")
            << numberedLines(10, 3, "Needle") << qint64(3) << "needle" << 1 << QByteArray()
            << qint64(1) << 10 << QStringList {"line line 3 Needle"};
    QTest::newRow("a name hit shows the start of the file, nothing marked")
            << numberedLines(1000, 0, "") << qint64(0) << QString() << 1 << QByteArray()
            << qint64(1) << 400 << QStringList();
    QTest::newRow("a deep hit is read in the codec that found it")
            << QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("一\n二 中文 三\n"))
            << qint64(2) << "中文" << 1 << QByteArray("GBK") << qint64(1) << 2
            << QStringList {"line 二 中文 三", "中文"};
    QTest::newRow("a UTF-16 file is read by its byte-order mark")
            << QTextCodec::codecForName("UTF-16LE")->fromUnicode(QStringLiteral("\uFEFFa\nb x\n"))
            << qint64(2) << "x" << 1 << QByteArray() << qint64(1) << 2
            << QStringList {"line b x", "x"};
}

void PreviewTest::showsTheLinesAroundTheHit()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, lineNo);
    QFETCH(QString, text);
    QFETCH(int, caseSensitive);
    QFETCH(QByteArray, codec);
    QFETCH(qint64, firstShown);
    QFETCH(int, linesShown);
    QFETCH(QStringList, marked);

    const QString path = tree.file(QStringLiteral("shown.txt"), bytes);
    PreviewPane pane;
    pane.showHit(path, QString(), lineNo,
                 TextQuery(text, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive), codec);
    QVERIFY(waitUntilShown(pane));
    QCOMPARE(pane.textView()->firstLineNo(), firstShown);
    QCOMPARE(pane.textView()->blockCount(), linesShown);
    QCOMPARE(marks(pane), marked);
    if (lineNo > 0)
        QCOMPARE(pane.textView()->textCursor().blockNumber(), int(lineNo - firstShown));
}

void PreviewTest::marksWhatTheSearchMatched_data()
{
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("regex");
    QTest::addColumn<bool>("wholeWords");
    QTest::addColumn<QStringList>("marked");  // in the line "errno 12, error 7, errors"

    QTest::newRow("an expression marks each of its matches")
            << QStringList {"err(or|no) \\d+"} << true << false
            << QStringList {"errno 12", "error 7"};
    QTest::newRow("whole words leave the word inside a longer one alone")
            << QStringList {"error"} << false << true << QStringList {"error"};
    QTest::newRow("more texts mark each of them")
            << QStringList {"12", "7"} << false << false << QStringList {"12", "7"};
    QTest::newRow("an expression that matches empty text marks nothing")
            << QStringList {"x*"} << true << false << QStringList();
}

void PreviewTest::marksWhatTheSearchMatched()
{
    QFETCH(QStringList, texts);
    QFETCH(bool, regex);
    QFETCH(bool, wholeWords);
    QFETCH(QStringList, marked);

    TextQuery query;
    TextQuery::Error error;
    QVERIFY(TextQuery::build(texts, {regex, wholeWords, Qt::CaseSensitive}, &query, &error));
    const QString path
            = tree.file(QStringLiteral("marks.txt"), "first\nerrno 12, error 7, errors\n");
    PreviewPane pane;
    pane.showHit(path, QString(), 2, query, QByteArray());
    QVERIFY(waitUntilShown(pane));
    QCOMPARE(marks(pane), QStringList {"line errno 12, error 7, errors"} + marked);
}

void PreviewTest::anArchiveMemberIsReadFromTheArchive()
{
    QVERIFY2(sharedReaderProcesses(), "velto-worker is built beside the tests");
    // A deep hit found in a code page only ICU's converters offer, which a
    // reader that never searched deep has not made yet.
    QTextCodec *icuOnly = nullptr;
    const QString traditional = QStringLiteral("繁體中文");
    for (QTextCodec *codec : unlistedCodecs()) {
        if (!icuOnly && dynamic_cast<IcuConverterCodec *>(codec)
            && codec->toUnicode(codec->fromUnicode(traditional)) == traditional
            && codec->fromUnicode(traditional) != traditional.toUtf8())
            icuOnly = codec;
    }
    QVERIFY(icuOnly);
    const QString zip = ZipBuilder(tree.path(QStringLiteral("pack.zip")))
                                .add("doc/other.txt", "nothing here\n")
                                .add("doc/x.txt", numberedLines(30, 12, "needle"))
                                .add("doc/tw.txt", icuOnly->fromUnicode("a\n" + traditional + "\n"))
                                .close();
    const TextQuery deep(traditional, Qt::CaseSensitive);
    QCOMPARE(shownApartAndHere(zip, QStringLiteral("doc/tw.txt"), 2, deep, false, icuOnly->name())
                     .mid(2),
             QStringList({"a\n" + traditional, "line " + traditional, traditional}));

    const TextQuery needle(QStringLiteral("needle"), Qt::CaseSensitive);
    const QStringList shown = shownApartAndHere(zip, QStringLiteral("doc/x.txt"), 12, needle);
    QCOMPARE(shown.mid(3), QStringList({"line line 12 needle", "needle"}));
    QCOMPARE(shown.value(2).count(QLatin1Char('\n')) + 1, 30);

    QCOMPARE(shownApartAndHere(zip, QStringLiteral("doc/missing.txt"), 1, TextQuery()).value(0),
             QStringLiteral("压缩包里没有这个文件"));
}

void PreviewTest::aMemberIsFoundByTheNameItsHitCarries_data()
{
    QTest::addColumn<QString>("archive");
    QTest::addColumn<QString>("member");  // as the hit names it below the archive
    QTest::addColumn<QString>("inner");   // an archive inside, holding the member; empty: none
    QTest::newRow("a compressed file's one member, named after it") << "one.txt.gz"
                                                                    << "one.txt" << QString();
    QTest::newRow("an lzop file, decoded without starting a program") << "one.txt.lzo"
                                                                      << "one.txt" << QString();
    QTest::newRow("a member of a tar.gz inside a ZIP") << "outer.zip"
                                                       << "in/inner.tar.gz/deep/x.txt"
                                                       << "in/inner.tar.gz";
}

void PreviewTest::aMemberIsFoundByTheNameItsHitCarries()
{
    QFETCH(QString, archive);
    QFETCH(QString, member);
    QFETCH(QString, inner);

    const QByteArray text = "a\nthe needle\n";
    QString path;
    if (inner.isEmpty()) {
        path = ArchiveBuilder::write(tree.path(archive), {{member.toUtf8(), text}});
    } else {
        QFile written(ArchiveBuilder::write(tree.path(QStringLiteral("inner.tar.gz")),
                                            {{member.mid(inner.size() + 1).toUtf8(), text}}));
        QVERIFY(written.open(QIODevice::ReadOnly));
        path = ZipBuilder(tree.path(archive)).add(inner.toUtf8(), written.readAll()).close();
    }
    const QStringList shown = shownApartAndHere(
            path, member, 2, TextQuery(QStringLiteral("needle"), Qt::CaseSensitive));
    QCOMPARE(shown.mid(0, 3), QStringList({QString(), "1", "a\nthe needle"}));
}

void PreviewTest::aDocumentShowsItsTextWithPlaces_data()
{
    QTest::addColumn<QString>("sample");
    QTest::addColumn<bool>("inZip");
    QTest::addColumn<bool>("documents");
    QTest::addColumn<QString>("hitLine");  // the text of line 4, empty: not the document's text
    QTest::newRow("a PDF on disk, its page before each line")
            << "sample.pdf" << false << true
            << QStringLiteral("[page 1]\t敏捷的棕色狐狸跳过了懒狗。");
    QTest::newRow("a spreadsheet in a ZIP, its sheet before each row")
            << "sample.xlsx" << true << true << QStringLiteral("[sheet Summary]\tPi\t3.25");
    QTest::newRow("a Word document, no place")
            << "sample.docx" << false << true << QStringLiteral("敏捷的棕色狐狸跳过了懒狗。");
    QTest::newRow("a presentation in a ZIP, its slide before each line")
            << "sample.pptx" << true << true
            << QStringLiteral("[slide 2]\t敏捷的棕色狐狸跳过了懒狗。");
    QTest::newRow("documents searched by their bytes show their bytes")
            << "sample.docx" << false << false << QString();
}

void PreviewTest::aDocumentShowsItsTextWithPlaces()
{
    QFETCH(QString, sample);
    QFETCH(bool, inZip);
    QFETCH(bool, documents);
    QFETCH(QString, hitLine);

    const QByteArray bytes = sampleDocument(sample);
    QVERIFY(!bytes.isEmpty());
    const QString name = QStringLiteral("doc.") + QFileInfo(sample).suffix();
    const QString path = inZip
            ? ZipBuilder(tree.path(QStringLiteral("docs.zip"))).add(name.toUtf8(), bytes).close()
            : tree.file(name, bytes);
    // Spreadsheets number rows: line 3 of the first sheet is a row of its own.
    const qint64 lineNo = sample.endsWith(QLatin1String(".xlsx")) ? 3 : 4;
    const QStringList shown
            = shownApartAndHere(path, inZip ? name : QString(), lineNo,
                                TextQuery(QStringLiteral("3.25"), Qt::CaseSensitive), documents);
    QCOMPARE(shown.mid(0, 2), QStringList({QString(), "1"}));
    const QString shownLine = shown.value(2).split(QLatin1Char('\n')).value(int(lineNo - 1));
    if (hitLine.isEmpty())
        QVERIFY2(!shownLine.contains(QStringLiteral("狐狸")), qPrintable(shownLine));
    else
        QCOMPARE(shownLine, hitLine);
}

// A reader that crashes, spins, waits or takes all memory while it reads a
// member or a document costs that preview only: the pane says why in the
// search's words, the window answers meanwhile, and the next document is
// read by a fresh reader.
void PreviewTest::aReaderThatFailsCostsThePreviewOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("fixture");  // what the file holds; empty: a ZIP holding `member`
    QTest::addColumn<QString>("member");
    QTest::addColumn<int>("clockSeconds");  // the reader's time on the clock
    QTest::addColumn<QString>("why");
    QTest::newRow("a document whose reader aborts")
            << "crash.pdf"
            << "documents/sample.pdf" << QString() << 600 << "crashed (SIGABRT)";
    QTest::newRow("a document whose reader spins") << "spin.docx"
                                                   << "documents/sample.docx" << QString() << 600
                                                   << "took more than 1 s of processor time";
    QTest::newRow("a member whose reader waits without end")
            << "block.zip" << QString() << "x.txt" << 2 << "ran for more than 2 s";
    QTest::newRow("a member of an image whose Rock Ridge entries loop")
            << "loop.iso"
            << "iso/rockridge-ce-loop.iso"
            << "x.txt" << 600 << "used more than 64 MiB";
}

void PreviewTest::aReaderThatFailsCostsThePreviewOnly()
{
    QFETCH(QString, name);
    QFETCH(QString, fixture);
    QFETCH(QString, member);
    QFETCH(int, clockSeconds);
    QFETCH(QString, why);

    const QString path = tree.path(name);
    QVERIFY(fixture.isEmpty()
                    ? !ZipBuilder(path).add(member.toUtf8(), "quick\n").close().isEmpty()
                    : QFile::copy(QStringLiteral(VELTO_FIXTURES_DIR "/") + fixture, path));
    const QString good = tree.file(QStringLiteral("good.pdf"), sampleDocument("sample.pdf"));
    ReaderLimits limits;
    limits.memoryBytes = qint64(64) << 20;
    limits.processorTime = std::chrono::seconds(1);
    limits.runningTime = std::chrono::seconds(clockSeconds);
    ReaderProcessPool readers(QStringLiteral(VELTO_BIN_DIR "/velto-standin-worker"), limits);
    PreviewPane pane(&readers);

    const EventLoopGaps gaps;
    pane.showHit(path, member, 1, TextQuery(), QByteArray(), true);
    QTRY_COMPARE_WITH_TIMEOUT(pane.statusText(), path + " stopped: the reader " + why,
                              20000 * kTimeScale);
    QVERIFY2(gaps.longest() < 200 * kTimeScale, qPrintable(QString::number(gaps.longest())));

    pane.showHit(good, QString(), 4, TextQuery(), QByteArray(), true);
    QVERIFY(waitUntilShown(pane));
    QVERIFY(pane.textView()->toPlainText().contains(QStringLiteral("狐狸")));
}

// A newer request, or a pane that shows nothing any more, gives up the
// reader at once: its process is killed, the next hit is shown without
// waiting for it.
void PreviewTest::aNewerRequestAbandonsTheReader()
{
    const QString spin = tree.file(QStringLiteral("spin.pdf"), sampleDocument("sample.pdf"));
    const QString small = tree.file(QStringLiteral("small.txt"), numberedLines(5, 4, "found"));
    ReaderProcessPool readers(QStringLiteral(VELTO_BIN_DIR "/velto-standin-worker"));
    PreviewPane pane(&readers);
    for (const bool clearFirst : {true, false}) {
        pane.showHit(spin, QString(), 1, TextQuery(), QByteArray(), true);
        QTRY_VERIFY_WITH_TIMEOUT(!readers.processIds().empty(), 10000 * kTimeScale);
        if (clearFirst)
            pane.clear();
        else
            pane.showHit(small, QString(), 4, TextQuery("found", Qt::CaseSensitive), QByteArray());
        QTRY_VERIFY_WITH_TIMEOUT(readers.processIds().empty(), 2000 * kTimeScale);
    }
    QVERIFY(waitUntilShown(pane));
    QCOMPARE(marks(pane), QStringList({"line line 4 found", "found"}));
}

void PreviewTest::aFileThatGrowsIsReadAsItWasOpened()
{
    const QString path = tree.file(QStringLiteral("growing.log"), numberedLines(3, 2, "hit"));
    QFile opened(path);
    QVERIFY(opened.open(QIODevice::ReadOnly));
    PreviewSpot spot;
    spot.lineNo = 2;
    // Lines written while the preview reads are not waited for.
    bool grown = false;
    const PreviewLines read = readPreviewLines(
            PreviewFile {int(opened.handle()), path, -1, QByteArray()}, spot, [&] {
                if (!grown) {
                    QFile file(path);
                    grown = file.open(QIODevice::Append)
                            && file.write(numberedLines(100000, 0, ""));
                }
                return true;
            });
    QVERIFY(grown);
    QCOMPARE(read.lines, QStringList({"line 1", "line 2 hit", "line 3"}));
}

void PreviewTest::aFileThatLostTheLineSaysSo()
{
    const QString path = tree.file(QStringLiteral("short.txt"), numberedLines(3, 0, ""));
    PreviewPane pane;
    pane.showHit(path, QString(), 40, TextQuery("x", Qt::CaseSensitive), QByteArray());
    QTRY_COMPARE(pane.statusText(), QStringLiteral("文件已没有第40行"));
    pane.showHit(tree.root(), QString(), 0, TextQuery(), QByteArray());
    QTRY_COMPARE(pane.statusText(), QStringLiteral("这是一个目录"));
}

void PreviewTest::theWindowAnswersWhileAHugeFileIsRead()
{
    // A gigabyte without a line feed before the hit's line.
    const QString huge = tree.sparseFile(QStringLiteral("huge.bin"), qint64(1) << 30);
    const QString small = tree.file(QStringLiteral("small.txt"), numberedLines(5, 4, "found"));
    PreviewPane pane;
    pane.showHit(huge, QString(), 2, TextQuery("x", Qt::CaseSensitive), QByteArray());
    QCOMPARE(pane.statusText(), QStringLiteral("正在读取…"));

    // The event loop keeps running while the file is read ...
    const EventLoopGaps gaps;
    QTest::qWait(300);
    QVERIFY2(gaps.longest() < 200 * kTimeScale, qPrintable(QString::number(gaps.longest())));

    // ... and another hit is shown without waiting for the first to be read.
    pane.showHit(small, QString(), 4, TextQuery("found", Qt::CaseSensitive), QByteArray());
    QVERIFY(QTest::qWaitFor([&] { return pane.statusText().isEmpty(); }, 2000 * kTimeScale));
    QCOMPARE(marks(pane), QStringList({"line line 4 found", "found"}));
}

void PreviewTest::followsTheSelectedRowWhileShown()
{
    tree.file(QStringLiteral("a.txt"), numberedLines(20, 7, "seven"));
    MainWindow window;
    ResultTable results(window);
    QVERIFY(results.deliver(
            tree.root(),
            {contentHit("a.txt", 7, "line 7 seven"), contentHit("a.txt", 9, "line 9")}));
    auto *pane = window.findChild<PreviewPane *>();
    auto *toggle = window.findChild<QAction *>(QStringLiteral("previewAction"));
    QVERIFY(pane && toggle);
    QVERIFY(pane->isHidden());  // shown only when asked for

    toggle->trigger();
    QVERIFY(!pane->isHidden());
    results.table()->setCurrentIndex(results.table()->model()->index(1, 0));
    QVERIFY(waitUntilShown(*pane));
    QCOMPARE(pane->textView()->textCursor().block().text(), QStringLiteral("line 9"));
    results.table()->setCurrentIndex(results.table()->model()->index(0, 0));
    QVERIFY(waitUntilShown(*pane));
    QCOMPARE(pane->textView()->textCursor().block().text(), QStringLiteral("line 7 seven"));

    toggle->trigger();
    QVERIFY(pane->isHidden());
}

QTEST_MAIN(PreviewTest)
#include "test_preview.moc"

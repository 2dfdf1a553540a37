// From the input fields to the table: the real window and the real search
// thread on trees built for each test.
#include "appdirs.h"
#include "mainwindowparts.h"
#include "messageboxanswerer.h"
#include "pathcodec.h"
#include "queryrows.h"
#include "treebuilder.h"
#include "walkrows.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QCompleter>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QProcess>
#include <QSpinBox>
#include <QtTest>

#include <linux/capability.h>
#include <memory>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const QString noticeTitle = QStringLiteral("提示");
const QString nothingToSearchText = QStringLiteral("搜索文件请填写：文件名\n搜索文件内容请填写：内"
                                                   "容\n搜索指定文件名的内容请填写：文件名+内容");

bool sameImage(const QIcon &icon, const QString &resource)
{
    return icon.pixmap(48).toImage() == QIcon(resource).pixmap(48).toImage();
}

// Root reads everything; while this lives, the process (and the threads it
// starts) obeys file permissions as any user does: the capabilities that
// override them are out of its effective set.
class FilePermissionsApply
{
public:
    FilePermissionsApply()
    {
        header.version = _LINUX_CAPABILITY_VERSION_3;
        if (::syscall(SYS_capget, &header, saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {saved[0], saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        ::syscall(SYS_capset, &header, reduced);
    }
    ~FilePermissionsApply() { ::syscall(SYS_capset, &header, saved); }

private:
    __user_cap_header_struct header = {};
    __user_cap_data_struct saved[2] = {};
};

}  // namespace

class SearchRequestTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void wholeRoad_data();
    void wholeRoad();
    void bothFrontEndsJudgeARequestAlike_data();
    void bothFrontEndsJudgeARequestAlike();
    void directoryField_data();
    void directoryField();
    void patternsAndContent_data();
    void patternsAndContent();
    void queryRowsAsVeltoFind_data();
    void queryRowsAsVeltoFind();
    void walkRowsAsVeltoFind_data();
    void walkRowsAsVeltoFind();
    void moreConditionsAreFoldedAway();
    void startFoldersGoIntoTheField_data();
    void startFoldersGoIntoTheField();
    void startFoldersWaitForTheRunningSearch();
    void historyKeepsEveryRequestTrimmed();
    void stopAndRestart();
    void finishOfAStoppedSearchDoesNotEndItsSuccessor();
    void escapeAsksOnlyWhileSearching();
    void unreadableFoldersAndFilesAreCounted();
    void returnTypedIntoAFieldStartsOneSearch_data();
    void returnTypedIntoAFieldStartsOneSearch();
    void returnInTheDirectoryPopupCompletesWithoutSearching();

private:
    // Fills the fields and presses Return on the window.
    void request(const QString &find, const QString &grep, const QString &dirs);
    void waitUntilIdle();
    // Shows the window and waits until it has the keyboard, as a user's would.
    void showActive();
    // The rows of the table as "name|directory|line|content", in table order;
    // "@" stands for the tree's root.
    QStringList rows(const QString &root) const;

    std::unique_ptr<MainWindow> window;
    std::unique_ptr<MainWindowParts> parts;
};

void SearchRequestTest::init()
{
    window = std::make_unique<MainWindow>();
    parts = std::make_unique<MainWindowParts>(*window);
    QVERIFY(parts->complete());
}

void SearchRequestTest::cleanup()
{
    parts.reset();
    window.reset();
}

void SearchRequestTest::request(const QString &find, const QString &grep, const QString &dirs)
{
    parts->find->setEditText(find);
    parts->grep->setEditText(grep);
    parts->dir->setEditText(dirs);
    QTest::keyClick(&*window, Qt::Key_Return);
}

void SearchRequestTest::waitUntilIdle()
{
    QTRY_VERIFY_WITH_TIMEOUT(!parts->worker->isRunning(), 20000);
    QTRY_COMPARE(parts->searchButton->text(), QStringLiteral("搜索"));
}

void SearchRequestTest::showActive()
{
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&*window));
}

QStringList SearchRequestTest::rows(const QString &root) const
{
    const QString nativeRoot = QDir::toNativeSeparators(root);
    QStringList result;
    for (int r = 0; r < parts->model()->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < 4; ++c)
            cells << parts->cell(r, c);
        result << cells.join('|').replace(nativeRoot, QStringLiteral("@"));
    }
    return result;
}

void SearchRequestTest::queryRowsAsVeltoFind_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < queryRows().size(); ++i)
        QTest::newRow(queryRows()[i].name) << i;
}

// The rows test_cli runs through velto-find, set in the unfolded "更多条件".
void SearchRequestTest::queryRowsAsVeltoFind()
{
    QFETCH(int, row);
    const QueryRow &query = queryRows()[row];
    TreeBuilder tree;
    buildQueryTree(tree);
    window->findChild<QToolButton *>(QStringLiteral("toolButton_moreConditions"))->click();
    window->findChild<QCheckBox *>(QStringLiteral("checkBox_regex"))->setChecked(query.regex);
    window->findChild<QCheckBox *>(QStringLiteral("checkBox_wholeWords"))
            ->setChecked(query.wholeWords);
    window->findChild<QCheckBox *>(QStringLiteral("checkBox_skipBinary"))
            ->setChecked(query.skipBinary);
    window->findChild<QCheckBox *>(QStringLiteral("checkBox_Ignore"))->setChecked(query.ignoreCase);
    window->findChild<QLineEdit *>(QStringLiteral("lineEdit_requiredTexts"))
            ->setText(query.required.join(QLatin1Char(';')));
    window->findChild<QLineEdit *>(QStringLiteral("lineEdit_excludedTexts"))
            ->setText(query.excluded.join(QLatin1Char(';')));
    request(QString(), query.text, tree.root());
    waitUntilIdle();
    QStringList hits;
    const QAbstractItemModel *model = parts->table->model();
    QTRY_COMPARE(model->rowCount(), query.hits.size());
    for (int r = 0; r < model->rowCount(); ++r)
        hits << model->index(r, 0).data().toString() + QLatin1Char(':')
                        + model->index(r, 2).data().toString();
    hits.sort();
    QCOMPARE(hits, query.hits);
}

void SearchRequestTest::walkRowsAsVeltoFind_data()
{
    QTest::addColumn<int>("row");
    for (int i = 0; i < walkRows().size(); ++i)
        QTest::newRow(walkRows()[i].name) << i;
}

// The rows test_cli runs through velto-find, set in the unfolded "更多条件".
void SearchRequestTest::walkRowsAsVeltoFind()
{
    QFETCH(int, row);
    const WalkRow &walk = walkRows()[row];
    TreeBuilder tree;
    const QString start = buildWalkTree(tree);
    window->findChild<QToolButton *>(QStringLiteral("toolButton_moreConditions"))->click();
    window->findChild<QCheckBox *>(QStringLiteral("checkBox_hidden"))->setChecked(walk.hidden);
    window->findChild<QCheckBox *>(QStringLiteral("checkBox_ignoreFiles"))
            ->setChecked(walk.ignoreFiles);
    window->findChild<QCheckBox *>(QStringLiteral("checkBox_followLinks"))
            ->setCheckState(walk.links == WalkRow::Links::Follow ? Qt::Checked
                                    : walk.links == WalkRow::Links::NoFollow
                                    ? Qt::Unchecked
                                    : Qt::PartiallyChecked);
    window->findChild<QLineEdit *>(QStringLiteral("lineEdit_excluded"))
            ->setText(walk.excluded.join(QLatin1Char(';')));
    window->findChild<QSpinBox *>(QStringLiteral("spinBox_maxDepth"))->setValue(walk.maxDepth);
    window->findChild<QLineEdit *>(QStringLiteral("lineEdit_sizes"))->setText(walk.size);
    window->findChild<QLineEdit *>(QStringLiteral("lineEdit_newer"))->setText(walk.newer);
    window->findChild<QLineEdit *>(QStringLiteral("lineEdit_older"))->setText(walk.older);
    request(QStringLiteral("txt"), QString(), start);
    waitUntilIdle();
    QStringList hits;
    const QAbstractItemModel *model = parts->table->model();
    QTRY_COMPARE(model->rowCount(), walk.hits.size());
    for (int r = 0; r < model->rowCount(); ++r)
        hits << QDir(start).relativeFilePath(model->index(r, 1).data().toString() + QLatin1Char('/')
                                             + model->index(r, 0).data().toString());
    hits.sort();
    QCOMPARE(hits, walk.hits);
}

// Unfolded, the form shows the conditions; folded (as it starts), none of them.
void SearchRequestTest::moreConditionsAreFoldedAway()
{
    showActive();
    auto *regex = window->findChild<QCheckBox *>(QStringLiteral("checkBox_regex"));
    auto *fold = window->findChild<QToolButton *>(QStringLiteral("toolButton_moreConditions"));
    QVERIFY(regex && fold);
    QVERIFY(!regex->isVisible());
    fold->click();
    QVERIFY(regex->isVisible());
    fold->click();
    QVERIFY(!regex->isVisible());
}

void SearchRequestTest::wholeRoad_data()
{
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("grep");
    QTest::addColumn<bool>("contentColumnsShown");
    QTest::addColumn<QStringList>("expected");

    // Subfolders deliver before their parent.
    QTest::newRow("name search lists matching files and folders with empty line cells")
            << "*.txt"
            << "" << false << QStringList {"deep.txt|@/sub||", "notes.txt|@||"};
    QTest::newRow("content search lists every matching line with its number")
            << "*.txt"
            << "hello" << true
            << QStringList {"deep.txt|@/sub|1|hello below", "notes.txt|@|1|hello",
                            "notes.txt|@|3|and hello again"};
}

void SearchRequestTest::wholeRoad()
{
    QFETCH(QString, find);
    QFETCH(QString, grep);
    QFETCH(bool, contentColumnsShown);
    QFETCH(QStringList, expected);

    TreeBuilder tree;
    tree.file("notes.txt", "hello\nworld\nand hello again\n");
    tree.file("sub/deep.txt", "hello below\n");
    tree.file("sub/other.log", "hello\n");
    tree.file("readme.md", "hello\n");

    request(find, grep, tree.root());
    QCOMPARE(parts->searchButton->text(), QStringLiteral("停止"));
    QCOMPARE(parts->searchButton->toolTip(), QStringLiteral("停止搜索"));
    QVERIFY(sameImage(parts->searchButton->icon(), ":/img/stop.png"));
    QVERIFY(!parts->busyBar->isHidden());

    waitUntilIdle();
    QCOMPARE(parts->searchButton->toolTip(), QStringLiteral("开始搜索"));
    QVERIFY(sameImage(parts->searchButton->icon(), ":/img/smartsearch.png"));
    QVERIFY(parts->busyBar->isHidden());
    QTRY_COMPARE(parts->model()->rowCount(), expected.size());
    QCOMPARE(rows(tree.root()), expected);
    QCOMPARE(parts->countLabel->text(), QStringLiteral("找到目标数:%1").arg(expected.size()));
    QCOMPARE(parts->table->isColumnHidden(2), !contentColumnsShown);
    QCOMPARE(parts->table->isColumnHidden(3), !contentColumnsShown);

    const QString time
            = QFileInfo(tree.path("notes.txt")).lastModified().toString("yyyy-MM-dd hh:mm");
    QCOMPARE(parts->cell(expected.size() - 1, 4), time);
}

void SearchRequestTest::bothFrontEndsJudgeARequestAlike_data()
{
    // The file-name, content and directory fields; "@" stands for the tree's root.
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<bool>("exact");
    // What both refuse and the part they name ("@" likewise); empty: both search.
    QTest::addColumn<QStringList>("refusal");
    // The window's content columns, checked when the fields pass their checks.
    QTest::addColumn<QString>("contentColumns");

    const QStringList searched;
    QTest::newRow("no pattern and no content asks for one of them")
            << QStringList {"", "", "@"} << false << QStringList {"nothing"} << QString();
    QTest::newRow("separators and blanks only are no pattern, blank content no content")
            << QStringList {" ; ;; ", "   ", "@"} << false << QStringList {"nothing"} << QString();
    QTest::newRow("a missing folder is named as split")
            << QStringList {"*", "", "@/missing"} << false << QStringList {"folder", "@/missing"}
            << "hidden";
    QTest::newRow("a missing folder after a good one, with content columns already shown")
            << QStringList {"*", "x", "@;@/missing"} << false << QStringList {"folder", "@/missing"}
            << "shown";
    QTest::newRow("a blank after the separator belongs to the next folder")
            << QStringList {"*", "", "@; @"} << false << QStringList {"folder", " @"} << "hidden";
    QTest::newRow("forward slashes are taken and the converted part is shown")
            << QStringList {"*", "", "@/sub/gone"} << false << QStringList {"folder", "@/sub/gone"}
            << "hidden";
    QTest::newRow("a pattern with an unclosed bracket is named")
            << QStringList {"*.txt; [a", "", "@"} << false << QStringList {"pattern", "[a"}
            << QString();
    QTest::newRow("a range written high to low in an exact pattern is named")
            << QStringList {"[z-a].txt", "", "@"} << true << QStringList {"pattern", "[z-a].txt"}
            << QString();
    QTest::newRow("a content text with a line break cannot be found")
            << QStringList {"*.txt", "one\ntwo", "@"} << false << QStringList {"line break"}
            << QString();
    QTest::newRow("a bad pattern is named before a line break and a missing folder")
            << QStringList {"[a", "one\ntwo", "@/missing"} << false << QStringList {"pattern", "[a"}
            << QString();
    QTest::newRow("a line break is named before a missing folder")
            << QStringList {"*", "one\ntwo", "@/missing"} << false << QStringList {"line break"}
            << QString();
    // A fourth field "-E" reads the content as an expression (正则表达式).
    QTest::newRow("an invalid expression is named with the library's reason and place")
            << QStringList {"*", "ab(c", "@", "-E"} << false
            << QStringList {"expression", "ab(c", "missing closing parenthesis", "5"} << QString();
    QTest::newRow("an invalid expression is named before a missing folder")
            << QStringList {"*", "[x", "@/missing", "-E"} << false
            << QStringList {"expression", "[x", "missing terminating ] for character class", "3"}
            << QString();
    // Or "size:", "newer:" or "exclude:" and a value for 更多条件's fields.
    QTest::newRow("a size without its sign is named")
            << QStringList {"*", "", "@", "size:10M"} << false << QStringList {"size", "10M"}
            << QString();
    QTest::newRow("a time neither a date nor a duration is named")
            << QStringList {"*", "", "@", "newer:yesterday"} << false
            << QStringList {"time", "yesterday"} << QString();
    QTest::newRow("an exclusion that is no wildcard is named before a missing folder")
            << QStringList {"*", "", "@/missing", "exclude:[a"} << false
            << QStringList {"exclusion", "[a"} << QString();
    QTest::newRow("a size with its sign and unit is searched")
            << QStringList {"*", "", "@", "size:-1k"} << false << searched << "hidden";
    QTest::newRow("a valid expression is searched")
            << QStringList {"*", "a(b|c)+", "@", "-E"} << false << searched << "shown";
    QTest::newRow("a lone carriage return stays inside its line and is searched")
            << QStringList {"*.txt", "one\rtwo", "@"} << false << searched << "shown";
    QTest::newRow("content alone searches every file")
            << QStringList {"", "x", "@"} << false << searched << "shown";
    QTest::newRow("blank content with a pattern is searched for the blanks")
            << QStringList {"*.txt", "  ", "@;@/sub"} << false << searched << "hidden";
    QTest::newRow("a closing bracket alone is a plain character")
            << QStringList {"a]", "", "@"} << false << searched << "hidden";
}

// One table for the window and velto-find: whatever one refuses, the other
// refuses for the same reason, naming the same part, and what one searches
// the other searches too.
void SearchRequestTest::bothFrontEndsJudgeARequestAlike()
{
    QFETCH(QStringList, fields);
    QFETCH(bool, exact);
    QFETCH(QStringList, refusal);
    QFETCH(QString, contentColumns);

    TreeBuilder tree;
    tree.file("sub/a.txt");
    const QString find = fields.at(0);
    const QString grep = fields.at(1);
    const QString dirs = QString(fields.at(2)).replace('@', tree.root());
    const QString reason = refusal.value(0);
    const QString part = refusal.value(1).replace('@', QDir::toNativeSeparators(tree.root()));
    const bool regex = fields.value(3) == QLatin1String("-E");
    const QString condition = fields.value(3).section(QLatin1Char(':'), 0, 0);
    const QString conditionValue = fields.value(3).section(QLatin1Char(':'), 1);
    const QMap<QString, QString> conditionFields {{"size", "lineEdit_sizes"},
                                                  {"newer", "lineEdit_newer"},
                                                  {"exclude", "lineEdit_excluded"}};

    const QMap<QString, QString> notices {
            {"nothing", nothingToSearchText},
            {"pattern", QStringLiteral("文件名:%1 格式不正确").arg(part)},
            {"line break", QStringLiteral("内容不能包含换行")},
            {"expression",
             QStringLiteral("正则表达式:%1 有误：%2（第%3个字符）")
                     .arg(part, refusal.value(2), refusal.value(3))},
            {"folder", QStringLiteral("目录名:%1 不存在").arg(part)},
            {"size", QStringLiteral("文件大小:%1 格式不正确，应如 +10M 或 -1k").arg(part)},
            {"time", QStringLiteral("修改时间:%1 格式不正确，应如 2026-01-01 或 7d").arg(part)},
            {"exclusion", QStringLiteral("排除:%1 格式不正确").arg(part)}};
    const QMap<QString, QString> sentences {
            {"nothing",
             "velto-find: give a file-name pattern (--name), a content text (--content) or both\n"
             "Usage: velto-find "},
            {"pattern",
             QStringLiteral("velto-find: the file-name pattern \"%1\" is not a valid wildcard "
                            "(a \"[\" needs its \"]\", a range its lower end first).\n")
                     .arg(part)},
            {"line break",
             "velto-find: the content text holds a line break, and no line can contain one.\n"},
            {"expression",
             QStringLiteral("velto-find: the expression \"%1\" is not valid: %2 at character %3.\n")
                     .arg(part, refusal.value(2), refusal.value(3))},
            {"folder",
             QStringLiteral("velto-find: the start directory \"%1\" does not exist.\n").arg(part)},
            {"size",
             QStringLiteral("velto-find: --size takes +N or -N with an optional unit k, M, G or "
                            "T, not \"%1\"\n")
                     .arg(part)},
            {"time",
             QStringLiteral("velto-find: --newer and --older take a date (2026-01-01, "
                            "2026-01-01 08:30) or a duration (30m, 12h, 7d, 2w), not \"%1\"\n")
                     .arg(part)},
            {"exclusion",
             QStringLiteral("velto-find: the exclusion \"%1\" is not a valid wildcard.\n")
                     .arg(part)}};

    // The window, with a previous result, which the request clears before
    // it checks anything.
    parts->deliver("/earlier", nameHits({"old.txt"}));
    QTRY_COMPARE(parts->model()->rowCount(), 1);
    const int findHistory = parts->find->count();
    const int grepHistory = parts->grep->count();
    parts->exact->setChecked(exact);
    window->findChild<QCheckBox *>(QStringLiteral("checkBox_regex"))->setChecked(regex);
    if (conditionFields.contains(condition))
        window->findChild<QLineEdit *>(conditionFields.value(condition))->setText(conditionValue);
    {
        MessageBoxAnswerer answerer(QMessageBox::Ok, reason.isEmpty() ? 300 : 5000);
        request(find, grep, dirs);
        if (reason.isEmpty()) {
            waitUntilIdle();
            QVERIFY2(!answerer.answered(), qPrintable(answerer.text()));
            QCOMPARE(parts->find->count(), findHistory + (find.trimmed().isEmpty() ? 0 : 1));
        } else {
            QVERIFY(answerer.answered());
            QCOMPARE(answerer.title(), noticeTitle);
            QCOMPARE(answerer.text(), notices.value(reason));
            QCOMPARE(answerer.buttons(), QMessageBox::StandardButtons(QMessageBox::Ok));
            QVERIFY(!parts->worker->isRunning());
            QCOMPARE(parts->searchButton->text(), QStringLiteral("搜索"));
            QVERIFY(parts->busyBar->isHidden());
            QCOMPARE(parts->model()->rowCount(), 0);
            QCOMPARE(parts->find->count(), findHistory);
            QCOMPARE(parts->grep->count(), grepHistory);
        }
    }
    if (!contentColumns.isEmpty()) {
        QCOMPARE(parts->table->isColumnHidden(2), contentColumns == "hidden");
        QCOMPARE(parts->table->isColumnHidden(3), contentColumns == "hidden");
    }

    // velto-find, with the same fields as its options.
    QStringList arguments {"-n", find, "-c", grep, "--dirs", dirs};
    if (exact)
        arguments << "-x";
    if (regex)
        arguments << "-E";
    if (conditionFields.contains(condition))
        arguments << QLatin1String("--") + condition << conditionValue;
    QProcess process;
    process.setWorkingDirectory(tree.root());
    process.start(QStringLiteral(VELTO_BIN_DIR "/velto-find"), arguments);
    QVERIFY(process.waitForFinished(60000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    if (reason.isEmpty()) {
        QVERIFY2(process.exitCode() == 0 || process.exitCode() == 1, qPrintable(err));
        QCOMPARE(err, QString());
    } else {
        QCOMPARE(process.exitCode(), 2);
        QVERIFY2(err.startsWith(sentences.value(reason)), qPrintable(err));
        QCOMPARE(process.readAllStandardOutput(), QByteArray());
    }
}

void SearchRequestTest::directoryField_data()
{
    QTest::addColumn<QString>("dirs");  // "@" stands for the tree's root, "@a" for its folder a
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("an empty field searches the current directory")
            << "" << QStringList {"a.txt|@/a||", "b.txt|@/b||", "top.txt|@||"};
    QTest::newRow("a trailing separator adds the current directory")
            << "@/a;" << QStringList {"a.txt|@/a||", "a.txt|@/a||", "b.txt|@/b||", "top.txt|@||"};
    QTest::newRow("blanks around the whole field are trimmed")
            << "  @/a  " << QStringList {"a.txt|@/a||"};
    QTest::newRow("folders are searched in the order given")
            << "@/b;@/a" << QStringList {"b.txt|@/b||", "a.txt|@/a||"};
}

void SearchRequestTest::directoryField()
{
    QFETCH(QString, dirs);
    QFETCH(QStringList, expected);

    TreeBuilder tree;
    tree.file("top.txt");
    tree.file("a/a.txt");
    tree.file("b/b.txt");
    struct CurrentDir
    {
        const QString previous = QDir::currentPath();
        ~CurrentDir() { QDir::setCurrent(previous); }
    } restore;
    QVERIFY(QDir::setCurrent(tree.root()));

    request("*.txt", "", dirs.replace('@', tree.root()));
    waitUntilIdle();
    QTRY_COMPARE(parts->model()->rowCount(), expected.size());
    QCOMPARE(rows(tree.root()), expected);
}

void SearchRequestTest::startFoldersGoIntoTheField_data()
{
    QTest::addColumn<QList<QByteArray>>("folders");  // "@" stands for the tree's root
    QTest::addColumn<QString>("typed");              // typed over the field afterwards, if any
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("remark");
    QTest::addColumn<QStringList>("expected");  // the rows; none: the search is refused

    const QString none;
    QTest::newRow("a folder whose name holds a semicolon is one folder")
            << QList<QByteArray> {"@/a;b"} << none << "@/a;b"
            << "" << QStringList {"ab.txt|@/a;b||"};
    QTest::newRow("a folder whose name is not UTF-8 is searched by its bytes")
            << QList<QByteArray> {"@/d\xff"} << none << "@/d\uFFFD"
            << "" << QStringList {"x.txt|@/d\uFFFD||"};
    QTest::newRow("several folders are searched in the order given")
            << QList<QByteArray> {"@/b", "@/a;b"} << none << "@/b;@/a;b"
            << "" << QStringList {"b.txt|@/b||", "ab.txt|@/a;b||"};
    QTest::newRow("a text the user types over it splits at semicolons as always")
            << QList<QByteArray> {"@/a;b"} << "@/a;@/b"
            << "@/a;b"
            << "" << QStringList {"a.txt|@/a||", "b.txt|@/b||"};
    QTest::newRow("a missing folder is refused with a message, not replaced by the drives")
            << QList<QByteArray> {"@/nowhere"} << none << "@/nowhere"
            << "目录名:@/nowhere 不存在" << QStringList {};
}

void SearchRequestTest::startFoldersGoIntoTheField()
{
    QFETCH(QList<QByteArray>, folders);
    QFETCH(QString, typed);
    QFETCH(QString, field);
    QFETCH(QString, remark);
    QFETCH(QStringList, expected);

    TreeBuilder tree;
    tree.file("a/a.txt");
    tree.file("b/b.txt");
    tree.file("a;b/ab.txt");
    tree.rawFile("d\xff/x.txt");
    QStringList exact;
    for (QByteArray &folder : folders)
        exact << decodePath(folder.replace('@', QFile::encodeName(tree.root())));
    window->initTargetDir(allDrivesList());
    // An earlier refusal stands in the status bar until the next hand-over.
    window->takeStartFolders({tree.path("gone")});
    QCOMPARE(parts->spareLabel->text(), "目录名:" + tree.path("gone") + " 不存在");
    window->takeStartFolders(exact);
    QCOMPARE(parts->dir->currentText(), field.replace('@', tree.root()));
    QCOMPARE(parts->spareLabel->text(), remark.replace('@', tree.root()));
    if (!typed.isNull())
        parts->dir->setEditText(typed.replace('@', tree.root()));

    MessageBoxAnswerer answerer(QMessageBox::Ok);
    parts->find->setEditText(QStringLiteral("*.txt"));
    QTest::keyClick(&*window, Qt::Key_Return);
    if (expected.isEmpty()) {
        QVERIFY(answerer.answered());
        QCOMPARE(answerer.text(), remark);
        QVERIFY(!parts->worker->isRunning());
        return;
    }
    waitUntilIdle();
    QTRY_COMPARE(parts->model()->rowCount(), expected.size());
    QCOMPARE(rows(tree.root()), expected);
}

void SearchRequestTest::startFoldersWaitForTheRunningSearch()
{
    TreeBuilder tree;
    tree.file("a;b/ab.txt");
    // A name search over the whole disk runs far longer than this test.
    request("*", "", "/");
    QVERIFY(parts->worker->isRunning());
    window->takeStartFolders({tree.path("a;b")});
    QCOMPARE(parts->dir->currentText(), QStringLiteral("/"));
    QCOMPARE(parts->spareLabel->text(), "搜索结束后目录名将改为:" + tree.path("a;b"));

    QTest::keyClick(&*window, Qt::Key_Return);  // stops the search
    waitUntilIdle();
    QCOMPARE(parts->dir->currentText(), tree.path("a;b"));
}

void SearchRequestTest::patternsAndContent_data()
{
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("grep");
    QTest::addColumn<bool>("contentColumnsShown");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty and trailing patterns are skipped")
            << "*.txt;;*.doc;"
            << "" << false << QStringList {"a.txt|@||", "b.doc|@||"};
    QTest::newRow("each pattern is trimmed")
            << "  *.txt ; *.doc "
            << "" << false << QStringList {"a.txt|@||", "b.doc|@||"};
    QTest::newRow("content without a pattern searches every file")
            << ""
            << "needle" << true << QStringList {"b.doc|@|2|a needle", "c.log|@|1|needle"};
    QTest::newRow("blank-only content hides the content columns but is searched as typed")
            << "*"
            << "  " << false << QStringList {"a.txt|@|1|two  blanks"};
    QTest::newRow("content is searched untrimmed")
            << "*"
            << " needle" << true << QStringList {"b.doc|@|2|a needle"};
}

void SearchRequestTest::patternsAndContent()
{
    QFETCH(QString, find);
    QFETCH(QString, grep);
    QFETCH(bool, contentColumnsShown);
    QFETCH(QStringList, expected);

    TreeBuilder tree;
    tree.file("a.txt", "two  blanks\n");
    tree.file("b.doc", "first\na needle\n");
    tree.file("c.log", "needle\n");

    request(find, grep, tree.root());
    waitUntilIdle();
    QTRY_COMPARE(parts->model()->rowCount(), expected.size());
    QCOMPARE(rows(tree.root()), expected);
    QCOMPARE(parts->table->isColumnHidden(2), !contentColumnsShown);
    QCOMPARE(parts->table->isColumnHidden(3), !contentColumnsShown);
}

void SearchRequestTest::historyKeepsEveryRequestTrimmed()
{
    TreeBuilder tree;
    tree.file("a.txt", "x\n");
    const int findCount = parts->find->count();
    QCOMPARE(parts->grep->count(), 0);

    for (int i = 0; i < 2; ++i) {
        request(" a.txt ", " x ", tree.root());
        waitUntilIdle();
    }
    QCOMPARE(parts->find->count(), findCount + 2);
    QCOMPARE(parts->find->itemText(findCount), QStringLiteral("a.txt"));
    QCOMPARE(parts->find->itemText(findCount + 1), QStringLiteral("a.txt"));
    QCOMPARE(parts->grep->count(), 2);
    QCOMPARE(parts->grep->itemText(1), QStringLiteral("x"));

    // An empty content field adds nothing to its history.
    request("a.txt", "", tree.root());
    waitUntilIdle();
    QCOMPARE(parts->grep->count(), 2);
    QCOMPARE(parts->find->count(), findCount + 3);
}

void SearchRequestTest::stopAndRestart()
{
    // The whole file system takes long enough to be stopped half-way.
    request("no-such-name-for-velto", "", "/");
    QVERIFY(parts->worker->isRunning());
    QTest::keyClick(&*window, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!parts->worker->isRunning(), 5000);
    QTRY_COMPARE(parts->searchButton->text(), QStringLiteral("搜索"));
    QVERIFY(parts->busyBar->isHidden());

    // Pressing the button again starts a new search with the current input.
    TreeBuilder tree;
    tree.file("found.txt");
    parts->find->setEditText("found");
    parts->dir->setEditText(tree.root());
    parts->searchButton->click();
    QCOMPARE(parts->searchButton->text(), QStringLiteral("停止"));
    waitUntilIdle();
    QTRY_COMPARE(parts->model()->rowCount(), 1);
    QCOMPARE(parts->cell(0, 0), QStringLiteral("found.txt"));
}

void SearchRequestTest::finishOfAStoppedSearchDoesNotEndItsSuccessor()
{
    request("no-such-name-for-velto", "", "/");
    QTest::keyClick(&*window, Qt::Key_Return);  // stop
    QVERIFY(parts->worker->wait(5000));
    QTest::keyClick(&*window, Qt::Key_Return);  // start again before finished() is seen
    QVERIFY(parts->worker->isRunning());

    QCoreApplication::processEvents();  // delivers the first run's finished()
    QCOMPARE(parts->searchButton->text(), QStringLiteral("停止"));
    QVERIFY(!parts->busyBar->isHidden());

    QTest::keyClick(&*window, Qt::Key_Return);
    waitUntilIdle();
    QVERIFY(parts->busyBar->isHidden());
}

void SearchRequestTest::escapeAsksOnlyWhileSearching()
{
    {
        MessageBoxAnswerer answerer(QMessageBox::Cancel, 200);
        QTest::keyClick(&*window, Qt::Key_Escape);
        QTest::keyClick(&*window, Qt::Key_A);
        QTest::qWait(300);
        QVERIFY(!answerer.answered());
        QVERIFY(!parts->worker->isRunning());
    }

    request("no-such-name-for-velto", "", "/");
    {
        MessageBoxAnswerer answerer(QMessageBox::Cancel);
        QTest::keyClick(&*window, Qt::Key_Escape);
        QVERIFY(answerer.answered());
        QVERIFY(parts->worker->isRunning());  // Cancel lets the search go on
    }
    QTest::keyClick(&*window, Qt::Key_Return);
    waitUntilIdle();
}

// After a search the status bar says how many folders and files it could not
// read, and the next search clears that.
void SearchRequestTest::unreadableFoldersAndFilesAreCounted()
{
    TreeBuilder tree;
    tree.file("closed/inner.txt", "needle\n");
    tree.file("secret.txt", "needle\n");
    tree.file("seen.txt", "needle\n");
    for (const char *locked : {"closed", "secret.txt"})
        QCOMPARE(::chmod(QFile::encodeName(tree.path(locked)).constData(), 0), 0);
    {
        const FilePermissionsApply permissions;
        request("*.txt", "needle", tree.root());
        waitUntilIdle();
    }
    QCOMPARE(parts->countLabel->text(), QStringLiteral("找到目标数:1"));
    QCOMPARE(parts->spareLabel->text(), QStringLiteral("无法读取:1个目录,1个文件"));

    request("seen", "", tree.root());
    QCOMPARE(parts->spareLabel->text(), QString());
    waitUntilIdle();
    QCOMPARE(parts->spareLabel->text(), QString());
}

void SearchRequestTest::returnTypedIntoAFieldStartsOneSearch_data()
{
    QTest::addColumn<QString>("field");

    QTest::newRow("return in the file-name field searches") << "comboBoxForFind";
    QTest::newRow("return in the content field searches") << "comboBoxForGrep";
    QTest::newRow("return in the directory field searches") << "comboBox_Dir";
}

// The key goes to the focused field, as a keyboard sends it, not to the
// window: the field must let it through, and only do_search adds history.
void SearchRequestTest::returnTypedIntoAFieldStartsOneSearch()
{
    QFETCH(QString, field);

    TreeBuilder tree;
    tree.file("notes.txt", "hello\n");
    tree.file("other.txt", "bye\n");
    const QMap<QComboBox *, QString> input {
            {parts->find, "*.txt"}, {parts->grep, "hello"}, {parts->dir, tree.root()}};
    const int findCount = parts->find->count();
    const int grepCount = parts->grep->count();
    const int dirCount = parts->dir->count();

    showActive();
    QComboBox *typedInto = window->findChild<QComboBox *>(field);
    for (auto it = input.begin(); it != input.end(); ++it)
        it.key()->setEditText(it.key() == typedInto ? QString() : it.value());
    // The folder's name may hold characters QTest cannot type: the last one
    // is typed, the rest set.
    typedInto->setFocus();
    const QString text = input.value(typedInto);
    typedInto->lineEdit()->setText(text.chopped(1));
    QTest::keyClicks(typedInto->lineEdit(), text.right(1));
    QCOMPARE(typedInto->currentText(), text);

    // Counted in this thread: a spy would be written by the search thread,
    // which emits finished(), while this one reads it.
    QObject finishedCounter;
    int finishedRuns = 0;
    connect(parts->worker, &QThread::finished, &finishedCounter,
            [&finishedRuns] { ++finishedRuns; });
    QTest::keyClick(typedInto->lineEdit(), Qt::Key_Return);
    QCOMPARE(parts->searchButton->text(), QStringLiteral("停止"));
    waitUntilIdle();
    QTRY_COMPARE(finishedRuns, 1);
    QTRY_COMPARE(rows(tree.root()), QStringList {"notes.txt|@|1|hello"});

    QCOMPARE(parts->find->count(), findCount + 1);
    QCOMPARE(parts->find->itemText(findCount), QStringLiteral("*.txt"));
    QCOMPARE(parts->grep->count(), grepCount + 1);
    QCOMPARE(parts->grep->itemText(grepCount), QStringLiteral("hello"));
    QCOMPARE(parts->dir->count(), dirCount);
}

void SearchRequestTest::returnInTheDirectoryPopupCompletesWithoutSearching()
{
    TreeBuilder tree;
    tree.file("alpha/inside.txt");
    parts->find->setEditText("*.txt");
    parts->grep->setEditText(QString());
    const int dirCount = parts->dir->count();
    const int findCount = parts->find->count();

    // The file system model reads folders in the background; with the
    // folder read, the first typed key opens the popup.
    QCompleter *completer = parts->dir->completer();
    auto *fileSystem = qobject_cast<QFileSystemModel *>(completer->model());
    QVERIFY(fileSystem);
    QSignalSpy loaded(fileSystem, &QFileSystemModel::directoryLoaded);
    fileSystem->fetchMore(fileSystem->index(tree.root()));
    QTRY_VERIFY(loaded.contains(QVariantList {tree.root()}));

    showActive();
    parts->dir->setFocus();
    parts->dir->lineEdit()->setText(tree.root() + "/a");
    QTest::keyClick(parts->dir->lineEdit(), Qt::Key_L);
    QTRY_VERIFY(completer->popup()->isVisible());

    QTest::keyClick(completer->popup(), Qt::Key_Down);
    QTest::keyClick(completer->popup(), Qt::Key_Return);
    QVERIFY(!completer->popup()->isVisible());
    QCOMPARE(parts->dir->currentText(), tree.path("alpha"));
    QVERIFY(!parts->worker->isRunning());
    QCOMPARE(parts->searchButton->text(), QStringLiteral("搜索"));
    QCOMPARE(parts->find->count(), findCount);
    QCOMPARE(parts->dir->count(), dirCount);

    // The next Return searches the completed folder.
    QTest::keyClick(parts->dir->lineEdit(), Qt::Key_Return);
    waitUntilIdle();
    QTRY_COMPARE(rows(tree.root()), QStringList {"inside.txt|@/alpha||"});
    QCOMPARE(parts->dir->count(), dirCount);
}

QTEST_MAIN(SearchRequestTest)
#include "test_searchrequest.moc"

// How the window fits, reads and answers the keyboard.
#include "language.h"
#include "mainwindowparts.h"
#include "previewpane.h"
#include "queryoptions.h"
#include "treebuilder.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QTranslator>
#include <QtTest>

namespace {

QPalette darkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x33));
    dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    return dark;
}

}  // namespace

class WindowLookTest : public QObject
{
    Q_OBJECT

private slots:
    void fitsAnEightHundredBySixHundredScreen_data();
    void fitsAnEightHundredBySixHundredScreen();
    void darkDesktopKeepsTextReadable();
    void focusFollowsTheForm_data();
    void focusFollowsTheForm();
    void enterInAFieldStartsTheSearch();
    void columnsUseTheWidthOfALargeWindow();
};

void WindowLookTest::fitsAnEightHundredBySixHundredScreen_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<bool>("preview");
    QTest::addColumn<bool>("moreConditions");
    QTest::newRow("Chinese") << false << false << false;
    QTest::newRow("English, whose words are longer") << true << false << false;
    QTest::newRow("English with the preview shown") << true << true << false;
    QTest::newRow("English with the more conditions unfolded and the preview shown")
            << true << true << true;
    QTest::newRow("Chinese with the more conditions unfolded and the preview shown")
            << false << true << true;
}

void WindowLookTest::fitsAnEightHundredBySixHundredScreen()
{
    QFETCH(bool, english);
    QFETCH(bool, preview);
    QFETCH(bool, moreConditions);
    if (english)
        QVERIFY(installTranslations(UiLanguage::English));
    const auto removeTranslators = qScopeGuard([] {
        for (QTranslator *translator : qApp->findChildren<QTranslator *>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    });
    MainWindow window;
    window.initTargetDir(QStringLiteral("/a/long/folder/name/that/the/field/need/not/show/whole"));
    if (preview)
        window.findChild<QAction *>(QStringLiteral("previewAction"))->trigger();
    window.findChild<QueryOptionsPanel *>()->setUnfolded(moreConditions);
    // A window frame and a title bar take some of the screen.
    const QSize least = window.minimumSizeHint().expandedTo(window.minimumSize());
    QVERIFY2(least.width() <= 790 && least.height() <= 560,
             qPrintable(QStringLiteral("%1x%2").arg(least.width()).arg(least.height())));
}

void WindowLookTest::darkDesktopKeepsTextReadable()
{
    const QPalette before = QApplication::palette();
    QApplication::setPalette(darkPalette());
    const auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
    MainWindow window;
    QVERIFY(MainWindow::isDarkPalette(window.palette()));
    for (const QWidget *widget : window.findChildren<QWidget *>()) {
        // The light picture stays off: no light ground under light text.
        QVERIFY2(!widget->styleSheet().contains(QLatin1String("image")),
                 qPrintable(widget->objectName()));
        const QPalette colours = widget->palette();
        const int contrast = qAbs(colours.color(widget->foregroundRole()).lightness()
                                  - colours.color(widget->backgroundRole()).lightness());
        QVERIFY2(contrast > 100, qPrintable(widget->objectName()));
    }

    // A light desktop keeps its picture.
    QApplication::setPalette(before);
    MainWindow lit;
    QVERIFY(lit.findChild<QWidget *>(QStringLiteral("centralWidget"))
                    ->styleSheet()
                    .contains(QLatin1String("frame-mid.png")));
}

void WindowLookTest::focusFollowsTheForm_data()
{
    QTest::addColumn<bool>("unfolded");
    QTest::newRow("folded, the button leads from the options to the results") << false;
    QTest::newRow("unfolded, the conditions read row by row") << true;
}

void WindowLookTest::focusFollowsTheForm()
{
    QFETCH(bool, unfolded);
    MainWindow window;
    window.findChild<QueryOptionsPanel *>()->setUnfolded(unfolded);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QStringList expected
            = {"comboBoxForFind",      "comboBoxForGrep",    "toolButtonSearchST",
               "toolButtonHelp",       "comboBox_Dir",       "toolButtonGetDir",
               "checkBox_searchExact", "checkBox_recursive", "checkBox_Ignore",
               "checkBox_deepSearch",  "checkBox_documents", "toolButton_moreConditions"};
    if (unfolded)
        expected << "checkBox_regex"
                 << "checkBox_wholeWords"
                 << "checkBox_skipBinary"
                 << "lineEdit_requiredTexts"
                 << "lineEdit_excludedTexts"
                 << "checkBox_hidden"
                 << "checkBox_followLinks"
                 << "checkBox_ignoreFiles"
                 << "spinBox_maxDepth"
                 << "lineEdit_excluded"
                 << "lineEdit_sizes"
                 << "lineEdit_newer"
                 << "lineEdit_older";
    expected << "tableView_result";
    window.findChild<QWidget *>(expected.first())->setFocus();
    QTRY_VERIFY(QApplication::focusWidget());
    QStringList seen;
    for (int i = 0; i < expected.size(); ++i) {
        QWidget *focus = QApplication::focusWidget();
        // A drop-down's or a spin box's field has the focus on its behalf.
        while (focus && focus->objectName().isEmpty())
            focus = focus->parentWidget();
        seen << (focus ? focus->objectName() : QString());
        // Every control a screen reader reaches tells it what it is.
        QAccessibleInterface *reading = QAccessible::queryAccessibleInterface(focus);
        QVERIFY2(reading && !reading->text(QAccessible::Name).isEmpty(),
                 qPrintable(seen.constLast()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(seen, expected);
}

void WindowLookTest::enterInAFieldStartsTheSearch()
{
    TreeBuilder tree;
    tree.file(QStringLiteral("found.txt"), "x\n");
    MainWindow window;
    MainWindowParts parts(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    parts.find->setEditText(QStringLiteral("found"));
    parts.dir->setEditText(tree.root());
    parts.grep->lineEdit()->setFocus();
    QTest::keyClick(parts.grep->lineEdit(), Qt::Key_Return);
    QTRY_COMPARE(parts.model()->rowCount(), 1);
}

void WindowLookTest::columnsUseTheWidthOfALargeWindow()
{
    MainWindow window;
    MainWindowParts parts(window);
    window.resize(1600, 1000);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    parts.deliver(QStringLiteral("/d"), {TFileInfo {"a.txt", 3, "short", TFileInfo::Kind::Hit, 0}});
    QTRY_COMPARE(parts.model()->rowCount(), 1);
    auto used = [&] {
        int width = 0;
        for (int c = 0; c < 5; ++c)
            width += parts.table->isColumnHidden(c) ? 0 : parts.table->columnWidth(c);
        return width;
    };
    QTRY_VERIFY(used() >= parts.table->viewport()->width() - 2);
    window.resize(1800, 1000);
    QTRY_VERIFY(used() >= parts.table->viewport()->width() - 2);
}

QTEST_MAIN(WindowLookTest)
#include "test_windowlook.moc"

// The window in English for everyone whose desktop is not Chinese.
#include "language.h"
#include "mainwindow.h"
#include "messageboxanswerer.h"
#include "resultwindowfixture.h"
#include "treebuilder.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QRegularExpression>
#include <QSystemTrayIcon>
#include <QTranslator>
#include <QtTest>

namespace {

bool holdsCjk(const QString &text)
{
    static const QRegularExpression cjk(
            QStringLiteral("[\\x{3000}-\\x{303F}\\x{3400}-\\x{9FFF}\\x{F900}-\\x{FAFF}"
                           "\\x{FF00}-\\x{FFEF}]"));
    return cjk.match(text).hasMatch();
}

// Every text a user can see or hear of `object` and its children: titles,
// labels, tips, accessible names, entries of drop-downs, actions and menus.
QStringList visibleTexts(const QObject *object, QSet<const QObject *> &seen)
{
    QStringList texts;
    if (seen.contains(object))
        return texts;
    seen.insert(object);
    for (const char *property :
         {"windowTitle", "text", "title", "toolTip", "statusTip", "whatsThis", "accessibleName",
          "accessibleDescription", "placeholderText", "iconText"}) {
        const QVariant value = object->property(property);
        if (value.canConvert<QString>())
            texts << value.toString();
    }
    if (const auto *box = qobject_cast<const QComboBox *>(object)) {
        for (int i = 0; i < box->count(); ++i)
            texts << box->itemText(i);
    }
    if (const auto *widget = qobject_cast<const QWidget *>(object)) {
        for (const QAction *action : widget->actions())
            texts << visibleTexts(action, seen);
    }
    if (const auto *action = qobject_cast<const QAction *>(object)) {
        if (action->menu())
            texts << visibleTexts(action->menu(), seen);
    }
    for (const QObject *child : object->children())
        texts << visibleTexts(child, seen);
    return texts;
}

QStringList visibleTexts(const QObject *object)
{
    QSet<const QObject *> seen;
    return visibleTexts(object, seen);
}

QStringList cjkTexts(const QStringList &texts)
{
    QStringList found;
    for (const QString &text : texts) {
        if (holdsCjk(text))
            found << text;
    }
    return found;
}

void removeTranslators()
{
    for (QTranslator *translator : qApp->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
}

}  // namespace

class TranslationTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { removeTranslators(); }
    void languageFollowsTheLocale_data();
    void languageFollowsTheLocale();
    void translationIsCompleteAndCurrent();
    void englishWindowShowsNoChinese();
    void chineseWindowStaysChinese();
};

void TranslationTest::languageFollowsTheLocale_data()
{
    QTest::addColumn<QStringList>("environment");  // NAME=value
    QTest::addColumn<bool>("chinese");

    QTest::newRow("zh_CN is Chinese") << QStringList {"LANG=zh_CN.UTF-8"} << true;
    QTest::newRow("zh_TW is Chinese") << QStringList {"LANG=zh_TW.UTF-8"} << true;
    QTest::newRow("en_US is English") << QStringList {"LANG=en_US.UTF-8"} << false;
    QTest::newRow("German is English") << QStringList {"LANG=de_DE.UTF-8"} << false;
    QTest::newRow("the C locale is English") << QStringList {"LANG=C.UTF-8"} << false;
    QTest::newRow("no locale at all is English") << QStringList {} << false;
    QTest::newRow("LC_ALL comes before LANG")
            << QStringList {"LC_ALL=zh_CN.UTF-8", "LANG=en_US.UTF-8"} << true;
    QTest::newRow("LC_MESSAGES comes before LANG")
            << QStringList {"LC_MESSAGES=en_GB.UTF-8", "LANG=zh_CN.UTF-8"} << false;
    QTest::newRow("LANGUAGE comes first")
            << QStringList {"LANGUAGE=zh_CN:en", "LANG=en_US.UTF-8"} << true;
    QTest::newRow("LANGUAGE's first language we have wins")
            << QStringList {"LANGUAGE=fr:en:zh_CN", "LANG=zh_CN.UTF-8"} << false;
    QTest::newRow("LANGUAGE without a language we have leaves it to the locale")
            << QStringList {"LANGUAGE=fr:de", "LANG=zh_CN.UTF-8"} << true;
    QTest::newRow("LANGUAGE is ignored under the C locale")
            << QStringList {"LANGUAGE=zh_CN", "LC_ALL=C"} << false;
}

void TranslationTest::languageFollowsTheLocale()
{
    QFETCH(QStringList, environment);
    QFETCH(bool, chinese);
    QProcessEnvironment env;
    for (const QString &entry : environment)
        env.insert(entry.section('=', 0, 0), entry.section('=', 1));
    QCOMPARE(uiLanguageFor(env) == UiLanguage::Chinese, chinese);
}

void TranslationTest::translationIsCompleteAndCurrent()
{
    // Running lupdate on the code changes nothing: every text is in the file.
    const QString ts = QStringLiteral(VELTO_SOURCE_DIR "/translations/velto_en.ts");
    QTemporaryDir work;
    const QString copy = work.filePath(QStringLiteral("velto_en.ts"));
    QVERIFY(QFile::copy(ts, copy));
    QProcess lupdate;
    lupdate.setWorkingDirectory(QStringLiteral(VELTO_SOURCE_DIR));
    lupdate.start(QStringLiteral("lupdate"),
                  {"-silent", "-locations", "none", "-no-obsolete", "-source-language", "zh_CN",
                   "-target-language", "en", "ui", "app", "-ts", copy});
    QVERIFY(lupdate.waitForFinished(60000));
    QCOMPARE(lupdate.exitCode(), 0);
    QFile before(ts);
    QFile after(copy);
    QVERIFY(before.open(QIODevice::ReadOnly) && after.open(QIODevice::ReadOnly));
    QVERIFY2(before.readAll() == after.readAll(),
             "translations/velto_en.ts is behind the code: run scripts/update-translations.sh");

    // Every text is translated, in words without Chinese.
    QFile file(ts);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY(!text.contains(QLatin1String("type=\"unfinished\"")));
    const QRegularExpression translation(QStringLiteral("<translation>(.*?)</translation>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    int count = 0;
    for (auto it = translation.globalMatch(text); it.hasNext(); ++count) {
        const QString english = it.next().captured(1);
        QVERIFY2(!english.isEmpty() && !holdsCjk(english), qPrintable(english));
    }
    QVERIFY(count > 50);
}

void TranslationTest::englishWindowShowsNoChinese()
{
    QVERIFY(installTranslations(UiLanguage::English));
    TreeBuilder tree;
    tree.file(QStringLiteral("a.txt"));
    MainWindow window;
    window.initTargetDir(tree.root());
    ResultTable results(window);
    QVERIFY(results.deliver(tree.root(),
                            {contentHit("a.txt", 1, "x"), nameHit("a.txt"), nameHit("a.txt"),
                             nameHit("a.txt"), nameHit("a.txt")}));
    QStringList texts = visibleTexts(&window);
    for (int c = 0; c < results.table()->model()->columnCount(); ++c)
        texts << results.table()->model()->headerData(c, Qt::Horizontal).toString();
    auto *tray = window.findChild<QSystemTrayIcon *>();
    QVERIFY(tray && tray->contextMenu());
    texts << tray->toolTip() << visibleTexts(tray->contextMenu());
    QVERIFY(texts.contains(QStringLiteral("Search")));
    QVERIFY(texts.contains(QStringLiteral("&Export results...")));
    QCOMPARE(cjkTexts(texts), QStringList());

    // The dialogs: help, the notices of a request that cannot start, the
    // questions before acting on many rows, the export's chooser.
    auto dialogText = [&](const std::function<void()> &open) {
        MessageBoxAnswerer answerer(QMessageBox::No);
        open();
        return answerer.answered() ? answerer.title() + '\n' + answerer.text() : QString();
    };
    QStringList dialogs;
    dialogs << dialogText([&] { results.run("do_help"); });
    window.findChild<QComboBox *>("comboBoxForFind")->setEditText(QString());
    dialogs << dialogText([&] { results.run("do_search"); });
    window.findChild<QComboBox *>("comboBoxForFind")->setEditText(QStringLiteral("[a"));
    dialogs << dialogText([&] { results.run("do_search"); });
    window.findChild<QComboBox *>("comboBoxForFind")->setEditText(QStringLiteral("*"));
    window.findChild<QComboBox *>("comboBox_Dir")->setEditText(tree.root() + "/missing");
    dialogs << dialogText([&] { results.run("do_search"); });
    QList<TFileInfo> many;
    QList<int> rows;
    for (int i = 0; i < 30; ++i) {
        many << nameHit("a.txt");
        rows << i;
    }
    QVERIFY(results.deliver(tree.root(), many));
    results.select(rows);
    dialogs << dialogText([&] { results.run("do_openFileDefault"); });
    dialogs << dialogText([&] { results.run("do_copyfiles"); });
    QString chooser;
    window.setSaveFileChooser([&](QWidget *, const QString &caption, const QString &,
                                  const QString &filters, QString *) {
        chooser = caption + '\n' + filters;
        return tree.root() + QStringLiteral("/missing/out.csv");
    });
    dialogs << dialogText([&] { results.run("do_exportResults"); }) << chooser;
    for (const QString &dialog : dialogs)
        QVERIFY2(!dialog.isEmpty(), "every dialog was opened");
    QCOMPARE(cjkTexts(dialogs), QStringList());
}

void TranslationTest::chineseWindowStaysChinese()
{
    installTranslations(UiLanguage::Chinese);
    MainWindow window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Velto深度文件搜索1.3"));
    const QStringList texts = visibleTexts(&window);
    QVERIFY(texts.contains(QStringLiteral("导出结果(&E)...")));
    QVERIFY(texts.contains(QStringLiteral("精确匹配文件名")));
    for (const char *english : {"Search", "&Export results...", "Exact name"})
        QVERIFY(!texts.contains(QLatin1String(english)));
}

QTEST_MAIN(TranslationTest)
#include "test_translation.moc"

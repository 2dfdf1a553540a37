#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "backgroundrelease.h"
#include "resultbatch.h"
#include "tfileinfo.h"

#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QList>
#include <QMainWindow>
#include <QString>

#include <functional>

class QLabel;
class QProgressBar;
class QSettings;
class QTimer;
class PreviewPane;
class QAction;
class QueryOptionsPanel;
class ResultModel;
class searchThread;
class trayicon;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    void initTargetDir(const QString &dirs);

    // Start folders from the command line, this start's or a later one's, in
    // the exact form pathcodec.h keeps: they become one entry of the directory
    // field, each of them one folder whatever its characters (the field keeps
    // the list behind its text until the user edits it). While a search runs
    // they wait for its end, and the status bar says so. The status bar also
    // says when one of them is not an existing folder (and drops what it said
    // of earlier ones); the search then refuses it like a typed one. An empty
    // list changes nothing.
    void takeStartFolders(const QStringList &folders);

    // The directory chooser of the Directory button; tests replace it.
    using DirectoryChooser
            = std::function<QString(QWidget *parent, const QString &caption, const QString &dir)>;
    void setDirectoryChooser(DirectoryChooser chooser);

    // The file chooser of Export; tests replace it. Returns the path, empty
    // when cancelled, and sets `selectedFilter` to the filter chosen.
    using SaveFileChooser
            = std::function<QString(QWidget *parent, const QString &caption, const QString &dir,
                                    const QString &filters, QString *selectedFilter)>;
    void setSaveFileChooser(SaveFileChooser chooser);

    // Keeps the form's history, options and the window's layout in
    // `settings` (not owned; it outlives the window) and restores them from
    // it now. Without settings the window remembers nothing.
    void useSettings(QSettings *settings);

    // True for a desktop palette of light text on dark ground.
    static bool isDarkPalette(const QPalette &palette);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void do_show();
    void do_search();
    void do_brower_targetdir();
    void do_resume_searchFileIcon();
    void do_GetResultFileInfo(QString dirName, QList<TFileInfo> namelist);
    void do_ShowResultFileInfo();
    void do_copyPathName_Clipboard();
    void do_openFileDefault();
    void do_openExplorerDir();
    void do_stopShowTab();
    void do_copyfiles();
    void do_cutfiles();
    void do_help();
    void do_exportResults();
    void do_clearHistory();
    void do_showPreview(bool shown);
    void do_previewCurrentRow();

private:
    ResultModel *createResultModel();
    void setupResultTable();     // model, header, widths
    void createResultActions();  // context menu and double-click
    void createMenus();
    void createPreview();  // the pane and its entry in the View menu
    void setUpLook();      // colours, accessible names, focus order, sizes (windowlook.cpp)
    void installResultModel(ResultModel *model);  // on the table, with the preview's connection
    void fitColumnsToWindow();  // contents first, then the spare width to the text columns
    void useSpareWidth();       // the viewport's width the columns leave, to the widest text
    // History: the entries of one search, the window's layout.
    void rememberSearch(const QString &names, const QString &text, const QString &folders);
    void saveLayout();
    void setSearchButtonRunning(bool running);
    void resetResultDisplay();  // empty count, buffer and table before a search
    void showFoundCount();      // "found targets" text unless the stop-display remark stands
    void showPendingBatches();  // the body of one display run
    void wakeDisplay();         // a display run soon, whatever the timer's pace
    void scheduleDisplay();     // the next run: at once, at the busy bar's pace, or none
    QList<int> selectedRows() const;
    QString targetPath(int row) const;
    QString rowPath(int row) const;
    bool confirmManyRows(int count, int threshold, const QString &question);
    QStringList confirmedSelectedTargets();
    void collectAndPlaceFiles(bool copy);
    void showStartFolders(const QStringList &folders);  // a new current entry of the field
    // The start directories of the directory field's text `text`: the folders
    // kept behind its current entry while the text is that entry's, else the
    // text split at ";".
    QStringList startDirectoryParts(const QString &text) const;
    // The background question while a search runs; returns true when the
    // caller should go on (close or key handled as the answer says).
    enum class BackgroundAnswer { NotRunning, Yes, No, Cancel };
    BackgroundAnswer askBackground();

    Ui::MainWindow *ui;
    searchThread *searchWorker;
    QString targetDir;
    ResultModel *resultModel;
    QList<ResultBatch> pendingResults;
    int headRowsShown = 0;         // rows of the first pending batch already in the table
    BackgroundRelease hitRelease;  // frees the batches shown or dropped
    int foundCount;
    bool columnsDirty;
    QElapsedTimer lastColumnFit;  // since the columns were last fitted while a search ran
    QLabel *countLabel;
    QLabel *spareLabel;
    QueryOptionsPanel *queryOptions = nullptr;  // the folded "更多条件" of the form
    QProgressBar *busyBar;
    int progressValue;
    // Drives do_ShowResultFileInfo: at 0 ms while batches wait, at the busy
    // bar's pace while a search runs, stopped otherwise.
    QTimer *showTimer;
    QFileSystemWatcher showNowWatcher;
    trayicon *trayIcon;
    PreviewPane *previewPane = nullptr;
    QAction *previewAction = nullptr;
    DirectoryChooser directoryChooser;
    SaveFileChooser saveFileChooser;
    QSettings *settings = nullptr;  // not owned
    int presetNameCount = 0;        // the name patterns the form offers
    QStringList baseFolderEntries;  // the folder entries of a window without history
    // The stop-display remark stays in countLabel until the next delivery or search.
    bool stopRemarkShown = false;
    QStringList waitingStartFolders;  // handed over during a search, for the field after it
};

#endif  // MAINWINDOW_H

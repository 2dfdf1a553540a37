// Copy and Cut of the selected files: the files named by the selected rows go
// to the clipboard as a file list with the effect copy or move.
#include "mainwindow.h"

#include "clipboardfiles.h"
#include "nativepath.h"
#include "pathcodec.h"

#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

namespace {

// Above this many rows, Copy and Cut ask first.
constexpr int copyQuestionThreshold = 29;

struct FreeDeleter
{
    void operator()(char *bytes) const { std::free(bytes); }
};

}  // namespace

void MainWindow::do_copyfiles()
{
    collectAndPlaceFiles(true);
}

void MainWindow::do_cutfiles()
{
    collectAndPlaceFiles(false);
}

void MainWindow::collectAndPlaceFiles(bool copy)
{
    const QList<int> rows = selectedRows();
    if (!confirmManyRows(rows.size(), copyQuestionThreshold, tr("执行%1个复制操作，是否继续？")))
        return;

    QStringList paths;
    for (const int row : rows) {
        const QString path = targetPath(row);
        if (pathExists(path) && !paths.contains(path, Qt::CaseSensitive))
            paths << path;
    }

    QList<QByteArray> encoded;
    qint64 length = 0;
    for (const QString &path : qAsConst(paths)) {
        encoded << encodePath(path);
        length += encoded.last().size() + 1;
    }
    // Each path with one zero byte behind it; an empty list gives no bytes.
    // One spare byte keeps calloc from answering an empty request with null.
    std::unique_ptr<char, FreeDeleter> bytes;
    if (length <= std::numeric_limits<qint32>::max())
        bytes.reset(static_cast<char *>(std::calloc(static_cast<size_t>(length) + 1, 1)));
    else
        errno = ENOMEM;
    if (!bytes) {
        std::perror("szFiles alloc");
        return;
    }
    char *next = bytes.get();
    for (const QByteArray &path : qAsConst(encoded)) {
        std::memcpy(next, path.constData(), static_cast<size_t>(path.size()));
        next += path.size() + 1;
    }
    setClipboardFiles(bytes.get(), static_cast<qint32>(length), copy ? 1 : 0);
}

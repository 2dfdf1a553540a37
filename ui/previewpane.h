#ifndef PREVIEWPANE_H
#define PREVIEWPANE_H

#include "previewloader.h"
#include "textquery.h"

#include <QPlainTextEdit>
#include <QThread>
#include <QWidget>

class QLabel;
class ReaderProcessPool;

// Read-only text with the line numbers of the file in its margin.
class NumberedTextView : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit NumberedTextView(QWidget *parent = nullptr);

    // Shows `lines`, numbered from `firstLineNo`.
    void setLines(qint64 firstLineNo, const QStringList &lines);
    qint64 firstLineNo() const { return firstNumber; }
    int marginWidth() const;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    friend class LineNumberMargin;
    void paintMargin(QPaintEvent *event);
    void updateMargin(const QRect &rect, int dy);

    QWidget *margin;
    qint64 firstNumber = 1;
};

// The preview of the selected hit: the lines around it, the hit's line
// marked and the searched text highlighted, scrolled to the hit. The lines
// are read on a thread of the pane's own; until they are in, it says so.
// Archive members and documents are read in the reader processes the search
// uses (in this process where there are none).
class PreviewPane : public QWidget
{
    Q_OBJECT

public:
    explicit PreviewPane(QWidget *parent = nullptr);
    // Reads archive members and documents in the processes of `readers`, in
    // this process when null (tests compare the two).
    explicit PreviewPane(ReaderProcessPool *readers, QWidget *parent = nullptr);
    ~PreviewPane() override;

    // Shows the hit at `lineNo` (0 for a name hit) of `path`, or of the
    // member `member` of the archive `path`; what `query` matches in the
    // hit's line is highlighted, as the search matched it (an empty query
    // marks nothing); `codec` is the codec that found a deep-search hit;
    // `documents`: a document shows its text, as searched.
    void showHit(const QString &path, const QString &member, qint64 lineNo, const TextQuery &query,
                 const QByteArray &codec, bool documents = false);
    // Shows nothing (no row selected).
    void clear();

    // What the pane says while reading, when reading failed or when it is
    // empty; empty while it shows text. For tests and accessibility.
    QString statusText() const;
    NumberedTextView *textView() const { return view; }

signals:
    void requested(const PreviewRequest &request);

private slots:
    void showText(const PreviewText &text);

private:
    void highlight();

    QLabel *title;
    QLabel *status;
    NumberedTextView *view;
    QThread thread;
    PreviewLoader *loader;  // lives on `thread`
    quint64 generation = 0;
    qint64 hitLine = 0;
    TextQuery searched;
};

#endif  // PREVIEWPANE_H

#include "previewpane.h"

#include "readerjobs.h"
#include "threadhandover.h"

#include <QLabel>
#include <QPainter>
#include <QTextBlock>
#include <QVBoxLayout>

#include <algorithm>

// The margin beside the text, painted by its view.
class LineNumberMargin : public QWidget
{
public:
    explicit LineNumberMargin(NumberedTextView *view) : QWidget(view), view(view) { }
    QSize sizeHint() const override { return QSize(view->marginWidth(), 0); }

protected:
    void paintEvent(QPaintEvent *event) override { view->paintMargin(event); }

private:
    NumberedTextView *view;
};

NumberedTextView::NumberedTextView(QWidget *parent)
    : QPlainTextEdit(parent), margin(new LineNumberMargin(this))
{
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    connect(this, &QPlainTextEdit::updateRequest, this, &NumberedTextView::updateMargin);
    setViewportMargins(marginWidth(), 0, 0, 0);
}

void NumberedTextView::setLines(qint64 firstLineNo, const QStringList &lines)
{
    firstNumber = firstLineNo;
    setPlainText(lines.join(QLatin1Char('\n')));
    setViewportMargins(marginWidth(), 0, 0, 0);
}

int NumberedTextView::marginWidth() const
{
    const qint64 lastNumber = firstNumber + qMax(1, blockCount()) - 1;
    return 8 + fontMetrics().horizontalAdvance(QString::number(lastNumber));
}

void NumberedTextView::resizeEvent(QResizeEvent *event)
{
    QPlainTextEdit::resizeEvent(event);
    const QRect inside = contentsRect();
    margin->setGeometry(QRect(inside.left(), inside.top(), marginWidth(), inside.height()));
}

void NumberedTextView::updateMargin(const QRect &rect, int dy)
{
    if (dy != 0)
        margin->scroll(0, dy);
    else
        margin->update(0, rect.y(), margin->width(), rect.height());
}

void NumberedTextView::paintMargin(QPaintEvent *event)
{
    QPainter painter(margin);
    painter.fillRect(event->rect(), palette().color(QPalette::AlternateBase));
    painter.setPen(palette().color(QPalette::PlaceholderText));
    QTextBlock block = firstVisibleBlock();
    int top = qRound(blockBoundingGeometry(block).translated(contentOffset()).top());
    while (block.isValid() && top <= event->rect().bottom()) {
        const int height = qRound(blockBoundingRect(block).height());
        if (block.isVisible() && top + height >= event->rect().top())
            painter.drawText(0, top, margin->width() - 4, height, Qt::AlignRight | Qt::AlignVCenter,
                             QString::number(firstNumber + block.blockNumber()));
        block = block.next();
        top += height;
    }
}

PreviewPane::PreviewPane(QWidget *parent) : PreviewPane(sharedReaderProcesses(), parent) { }

PreviewPane::PreviewPane(ReaderProcessPool *readers, QWidget *parent)
    : QWidget(parent), title(new QLabel(this)), status(new QLabel(this)),
      view(new NumberedTextView(this)), loader(new PreviewLoader(readers))
{
    setObjectName(QStringLiteral("previewPane"));
    title->setTextFormat(Qt::PlainText);
    title->setTextInteractionFlags(Qt::TextSelectableByMouse);
    status->setTextFormat(Qt::PlainText);
    view->setObjectName(QStringLiteral("previewText"));
    view->setAccessibleName(tr("预览"));
    view->setAccessibleDescription(tr("所选结果所在行前后的文字"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(title);
    layout->addWidget(status);
    layout->addWidget(view, 1);

    qRegisterMetaType<PreviewRequest>("PreviewRequest");
    qRegisterMetaType<PreviewText>("PreviewText");
    loader->moveToThread(&thread);
    // The loader's last act on its thread; it is deleted here after the wait.
    connect(
            &thread, &QThread::finished, loader, [this] { handOver(loader); },
            Qt::DirectConnection);
    connect(this, &PreviewPane::requested, loader, &PreviewLoader::load);
    // Emitted from the loader's thread.
    connect(loader, &PreviewLoader::loaded, this, &PreviewPane::showText);
    thread.start();
    clear();
}

PreviewPane::~PreviewPane()
{
    loader->supersede(~quint64(0));
    thread.quit();
    thread.wait();
    takeOver(loader);
    delete loader;
}

void PreviewPane::showHit(const QString &path, const QString &member, qint64 lineNo,
                          const TextQuery &query, const QByteArray &codec, bool documents)
{
    PreviewRequest request;
    request.path = path;
    request.spot.member = member;
    request.spot.lineNo = lineNo;
    request.spot.codec = codec;
    request.spot.documents = documents;
    request.generation = ++generation;
    loader->supersede(generation);
    hitLine = lineNo;
    searched = query;
    title->setText(member.isEmpty() ? path : path + QLatin1Char('/') + member);
    status->setText(tr("正在读取…"));
    status->show();
    view->setLines(1, {});
    emit requested(request);
}

void PreviewPane::clear()
{
    loader->supersede(++generation);
    title->clear();
    status->setText(tr("选择一行结果以预览其内容"));
    status->show();
    view->setLines(1, {});
}

QString PreviewPane::statusText() const
{
    return status->isHidden() ? QString() : status->text();
}

void PreviewPane::showText(const PreviewText &text)
{
    takeOver(loader);
    if (text.generation != generation)
        return;
    if (!text.problem.isEmpty()) {
        status->setText(text.problem);
        return;
    }
    view->setLines(text.firstLineNo, text.lines);
    if (hitLine > 0 && hitLine >= text.firstLineNo + text.lines.size()) {
        status->setText(tr("文件已没有第%1行").arg(hitLine));
        return;
    }
    status->clear();
    status->hide();
    highlight();
}

void PreviewPane::highlight()
{
    QList<QTextEdit::ExtraSelection> marks;
    const QPalette colours = palette();
    if (hitLine > 0) {
        const QTextBlock block
                = view->document()->findBlockByNumber(int(hitLine - view->firstLineNo()));
        QTextEdit::ExtraSelection line;
        line.format.setBackground(colours.color(QPalette::AlternateBase));
        line.format.setProperty(QTextFormat::FullWidthSelection, true);
        line.cursor = QTextCursor(block);
        marks << line;
        const QString lineText = block.text();
        int start = 0;
        int end = 0;
        for (int from = 0; from <= lineText.size() && searched.find(lineText, from, &start, &end);
             from = std::max(end, start + 1)) {
            if (end == start)
                continue;  // an expression that matched nothing here marks nothing
            QTextEdit::ExtraSelection match;
            match.format.setBackground(colours.color(QPalette::Highlight));
            match.format.setForeground(colours.color(QPalette::HighlightedText));
            match.cursor = QTextCursor(block);
            match.cursor.setPosition(block.position() + start);
            match.cursor.setPosition(block.position() + end, QTextCursor::KeepAnchor);
            marks << match;
        }
        QTextCursor cursor(block);
        view->setTextCursor(cursor);
        view->centerCursor();
    }
    view->setExtraSelections(marks);
}

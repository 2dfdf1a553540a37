#ifndef QUERYOPTIONS_H
#define QUERYOPTIONS_H

#include <QList>
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QSettings;
class QSpinBox;
class QToolButton;
class SearchRequest;

// The form's "更多条件" (more conditions): what a search may ask beyond the
// usual fields, in a strip of four columns as wide as the form, folded away
// by default so that the form looks as it always did. Its button stands
// with the options; the strip is the panel itself, shown while unfolded.
// Each choice's default keeps the search as it always was.
class QueryOptionsPanel : public QWidget
{
    Q_OBJECT

public:
    explicit QueryOptionsPanel(QWidget *parent = nullptr);

    // The button that folds and unfolds the strip, for the window to place.
    QToolButton *unfoldButton() const { return foldButton; }
    // The button, then the strip's controls in reading order.
    QList<QWidget *> focusOrder() const;

    // Writes the panel's choices into `request`.
    void fillRequest(SearchRequest &request) const;

    bool isUnfolded() const;
    void setUnfolded(bool unfolded);

    // The tick boxes' choices, kept in the window's settings after a search
    // and restored at the next start; a restored choice other than its
    // default unfolds the panel, so that none acts unseen. The fields are
    // not kept: they are asked anew for each search.
    void restore(const QSettings &settings);
    void remember(QSettings &settings) const;

private:
    struct KeptBox
    {
        const char *key;
        QCheckBox *box;
        Qt::CheckState byDefault;
    };
    QList<KeptBox> keptBoxes() const;

    QToolButton *foldButton;
    QCheckBox *regex;
    QCheckBox *wholeWords;
    QCheckBox *skipBinary;
    QLineEdit *requiredTexts;
    QLineEdit *excludedTexts;
    QCheckBox *hidden;
    QCheckBox *ignoreFiles;
    // Partly checked (the default): links to folders are entered, links to
    // files passed over; checked: every link followed; unchecked: none.
    QCheckBox *followLinks;
    QLineEdit *excluded;  // names of files and folders alike
    QSpinBox *maxDepth;   // 0: no limit
    QLineEdit *sizes;
    QLineEdit *newer;
    QLineEdit *older;
};

#endif  // QUERYOPTIONS_H

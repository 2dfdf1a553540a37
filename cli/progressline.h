#ifndef PROGRESSLINE_H
#define PROGRESSLINE_H

#include <QString>

// One status line on a terminal, redrawn in place and cleared at the end.
class ProgressLine
{
public:
    explicit ProgressLine(int fd);
    ~ProgressLine();

    void show(const QString &text);
    void clear();

private:
    void write(const QByteArray &bytes);

    int fd;
    bool shown = false;
};

#endif // PROGRESSLINE_H

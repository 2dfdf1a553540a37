#ifndef PREVIEWLINES_H
#define PREVIEWLINES_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Which lines of a file the preview of a hit shows, and how they are read.
struct PreviewSpot
{
    QString member;          // the member's path inside the archive, empty for a file
    qint64 lineNo = 0;       // the hit's line, 0 for a name hit (the file's start is shown)
    QByteArray codec;        // the codec that found a deep-search hit; empty: the file's own
    bool documents = false;  // a document shows its text, each line behind its place

    // Lines shown before and after the hit.
    static constexpr int kContext = 200;
    // A shown line is cut after this many characters.
    static constexpr int kMaxLineChars = 2000;
};

// The lines read for a preview: only those shown, so a preview of a huge
// file or member holds no more than a few hundred cut lines.
struct PreviewLines
{
    qint64 firstLineNo = 1;  // the number of lines.first()
    QStringList lines;
    // The archive cannot be read or holds no such member.
    bool noSuchMember = false;
    // One line naming the file when it could not be read: a document that
    // gave no lines, or a reader that failed; empty otherwise.
    QString problem;
};

// The file a preview reads: open at `fd` (at its start) and named
// `fileName` as its hits name it. An archive's members are read by the
// search's own walk, which opens it again as `name` in the folder open at
// `folderFd`.
struct PreviewFile
{
    int fd = -1;
    QString fileName;
    int folderFd = -1;
    QByteArray name;
};

// True when reading `spot` of the file `fileName` parses a format from
// outside (an archive, a document), which is done in a reader process.
bool previewParsesForeignFormat(const QString &fileName, const PreviewSpot &spot);

// Reads the lines `spot` asks for from the regular file `file`: from the start until the lines after the
// hit are in, never more than the file held when it was opened. A member is
// read out of the archive; a document gives its text when `spot.documents`
// (a file named as one that is none gives its bytes). `stillWanted` is asked
// between blocks; once it says no, what was read is given back unfinished.
PreviewLines readPreviewLines(const PreviewFile &file, const PreviewSpot &spot,
                              const std::function<bool()> &stillWanted);

#endif  // PREVIEWLINES_H

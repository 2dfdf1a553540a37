#ifndef EXTRACTFILE_H
#define EXTRACTFILE_H

#include <QString>

#include <cstdio>

class ContentMatcher;

// The fixed temporary file that one archive member at a time is extracted to
// ("zip.tmp" or "rar.tmp" in the matcher's extraction folder). Its path never
// derives from a member name. Closed by close() or when the object goes.
class ExtractFile
{
public:
    ExtractFile(const ContentMatcher &matcher, const char *fileName);
    ~ExtractFile();
    ExtractFile(const ExtractFile &) = delete;
    ExtractFile &operator=(const ExtractFile &) = delete;

    // Creates the folder when missing and opens the file, emptied, for writing.
    bool open();
    bool write(const char *data, size_t size);
    // Returns false when data could not be flushed to the file.
    bool close();

    QString path() const { return filePath; }

private:
    QString filePath;
    FILE *file = nullptr;
    bool folderChecked = false;  // the folder is made once per walk
};

// The name under which hits inside an archive are reported: the archive's
// file name, the native separator and the member name.
QString archiveHitName(const QString &archivePath, const QString &memberName);

#endif // EXTRACTFILE_H

#include "extractfile.h"

#include "appdirs.h"
#include "contentmatcher.h"
#include "pathcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString extractDirOf(const ContentMatcher &matcher)
{
    if (!matcher.extractDir.isEmpty())
        return matcher.extractDir;
    return writableProgramDir() + QStringLiteral("/tmp");
}

} // namespace

ExtractFile::ExtractFile(const ContentMatcher &matcher, const char *fileName)
    : filePath(extractDirOf(matcher) + QLatin1Char('/') + QLatin1String(fileName))
{
}

ExtractFile::~ExtractFile()
{
    close();
}

bool ExtractFile::open()
{
    close();
    const QByteArray encoded = encodePath(filePath);
    if (!folderChecked) {
        const QFileInfo info(filePath);
        QDir().mkpath(info.absolutePath());
        // A folder left at the temporary path would block the file; only an
        // empty one can go.
        if (info.isDir())
            QDir().rmdir(filePath);
        folderChecked = true;
    }
    // A fresh file rather than the old one truncated: ext4 flushes a file that
    // was truncated and rewritten when it is closed, which made every member
    // wait for the disk.
    std::remove(encoded.constData());
    file = std::fopen(encoded.constData(), "wb");
    return file != nullptr;
}

bool ExtractFile::write(const char *data, size_t size)
{
    return file && std::fwrite(data, 1, size, file) == size;
}

bool ExtractFile::close()
{
    if (!file)
        return true;
    const bool ok = std::fclose(file) == 0;
    file = nullptr;
    return ok;
}

QString archiveHitName(const QString &archivePath, const QString &memberName)
{
    return QFileInfo(archivePath).fileName() + QDir::separator() + memberName;
}

#include "zipwalker.h"

#include "contentmatcher.h"
#include "diagnostics.h"
#include "extractfile.h"
#include "pathcodec.h"

#include <QDir>

#include <unzip.h>

#include <memory>
#include <new>
#include <vector>

namespace {

constexpr int kReadBufferSize = 8192;
constexpr int kNameBufferSize = 256;
constexpr int kMaxOpenPathBytes = 255;

struct ZipClose
{
    void operator()(void *zip) const { unzClose(zip); }
};
using ZipPtr = std::unique_ptr<void, ZipClose>;

ZipPtr openZip(const QByteArray &path)
{
    zlib_filefunc64_def fileFunctions;
    fill_fopen64_filefunc(&fileFunctions);
    return ZipPtr(unzOpen2_64(path.constData(), &fileFunctions));
}

class ZipWalk
{
public:
    ZipWalk(void *zip, const QByteArray &archivePath, HitSink &hits,
            const ContentMatcher &matcher)
        : zip(zip), archiveName(decodePath(archivePath)), hits(hits),
          matcher(matcher), extractFile(matcher, "zip.tmp"), nameBuffer(kNameBufferSize)
    {
    }

    void run();

private:
    bool readEntryName(QByteArray &name);
    // Returns false when a stop request cut the extraction short.
    bool extractAndSearch(const QString &hitName);

    void *const zip;
    const QString archiveName;
    HitSink &hits;
    const ContentMatcher &matcher;
    ExtractFile extractFile;
    std::vector<char> nameBuffer;  // grows for names longer than 255 bytes
    std::unique_ptr<char[]> readBuffer;
};

// Reads the current entry's name in full: a name that does not fit the
// buffer is read again into one large enough for it.
bool ZipWalk::readEntryName(QByteArray &name)
{
    unz_file_info64 info;
    int err = unzGetCurrentFileInfo64(zip, &info, nameBuffer.data(), uLong(nameBuffer.size()),
                                      nullptr, 0, nullptr, 0);
    if (err == UNZ_OK && info.size_filename >= nameBuffer.size()) {
        nameBuffer.resize(info.size_filename + 1);
        err = unzGetCurrentFileInfo64(zip, &info, nameBuffer.data(), uLong(nameBuffer.size()),
                                      nullptr, 0, nullptr, 0);
    }
    if (err != UNZ_OK) {
        diagnostic("error %d with zipfile in unzGetCurrentFileInfo\n", err);
        return false;
    }
    name = QByteArray(nameBuffer.data(), int(info.size_filename));
    return true;
}

bool ZipWalk::extractAndSearch(const QString &hitName)
{
    if (!extractFile.open()) {
        diagnostic("error in creating extracted file %s\n",
                   encodePath(extractFile.path()).constData());
        return true;
    }
    for (;;) {
        if (matcher.isCancelled())
            return false;
        const int got = unzReadCurrentFile(zip, readBuffer.get(), kReadBufferSize);
        if (got == 0)
            break;
        if (got < 0) {
            diagnostic("error %d with zipfile in unzReadCurrentFile\n", got);
            break;
        }
        if (!extractFile.write(readBuffer.get(), size_t(got))) {
            diagnostic("error in writing extracted file\n");
            break;
        }
    }
    extractFile.close();
    // Whatever was extracted up to an error is searched as well.
    matcher.searchFile(extractFile.path(), hits, hitName);
    return true;
}

void ZipWalk::run()
{
    readBuffer.reset(new (std::nothrow) char[kReadBufferSize]);
    if (!readBuffer) {
        // This archive is passed over; the search goes on.
        diagnostic("Error allocating memory\n");
        return;
    }
    unz_global_info64 globalInfo;
    const int globalErr = unzGetGlobalInfo64(zip, &globalInfo);
    if (globalErr != UNZ_OK) {
        diagnostic("error %d with zipfile in unzGetGlobalInfo \n", globalErr);
        return;  // the entry count is unknown
    }
    const bool contentSearch = !matcher.grepText.isEmpty();
    for (ZPOS64_T index = 0; index < globalInfo.number_entry; ++index) {
        if (matcher.isCancelled())
            return;
        QByteArray rawName;
        if (!readEntryName(rawName))
            return;
        const int openErr = unzOpenCurrentFilePassword(zip, nullptr);
        if (openErr != UNZ_OK)
            diagnostic("error %d with zipfile in unzOpenCurrentFilePassword\n", openErr);

        const QString name = QString::fromLocal8Bit(rawName);
        if (matcher.matchesName(name)) {
            const QString hitName = archiveHitName(archiveName, QDir::toNativeSeparators(name));
            if (!contentSearch)
                hits.append(TFileInfo{hitName, 0, QString()});
            else if (!name.endsWith(QLatin1Char('/')) && !extractAndSearch(hitName))
                return;
        }
        // Closing checks the member's CRC, which nothing here reports.
        unzCloseCurrentFile(zip);

        if (index + 1 < globalInfo.number_entry) {
            const int nextErr = unzGoToNextFile(zip);
            if (nextErr != UNZ_OK) {
                diagnostic("error %d with zipfile in unzGoToNextFile\n", nextErr);
                return;
            }
        }
    }
}

} // namespace

int searchZipArchive(const QByteArray &archivePath, HitSink &hits,
                     const ContentMatcher &matcher)
{
    ZipPtr zip = openZip(archivePath);
    if (!zip)
        zip = openZip(archivePath.left(kMaxOpenPathBytes) + ".zip");
    if (!zip) {
        diagnostic("Cannot open %s or %s.zip\n", archivePath.constData(), archivePath.constData());
        return 0;
    }
    ZipWalk(zip.get(), archivePath, hits, matcher).run();
    return 0;
}

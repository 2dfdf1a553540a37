#include "previewloader.h"

#include "pathcodec.h"
#include "readerjobs.h"
#include "threadhandover.h"
#include "uniquefd.h"

#include <QCoreApplication>

#include <fcntl.h>
#include <sys/stat.h>

PreviewText PreviewLoader::read(const PreviewRequest &request)
{
    PreviewText result;
    result.generation = request.generation;
    const QByteArray native = encodePath(request.path);
    const UniqueFd fd(::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat info;
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0) {
        result.problem = QCoreApplication::translate("PreviewPane", "无法打开此文件");
        return result;
    }
    if (S_ISDIR(info.st_mode)) {
        result.problem = QCoreApplication::translate("PreviewPane", "这是一个目录");
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.problem = QCoreApplication::translate("PreviewPane", "不是普通文件");
        return result;
    }

    PreviewLines lines;
    if (previewParsesForeignFormat(request.path, request.spot)) {
        // The reader opens the file in its folder, which it is handed open.
        const int slash = native.lastIndexOf('/');
        const QByteArray folder = slash < 0 ? QByteArray(".") : native.left(qMax(slash, 1));
        const UniqueFd folderFd(::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (folderFd.get() < 0) {
            result.problem = QCoreApplication::translate("PreviewPane", "无法打开此文件");
            return result;
        }
        const ForeignFile file {request.spot.member.isEmpty() ? ForeignFile::Kind::Document
                                                              : ForeignFile::Kind::Archive,
                                folderFd.get(), native.mid(slash + 1), request.path, native};
        lines = previewForeignFile(readers, file, request.spot, &abandoned);
    } else {
        lines = readPreviewLines(PreviewFile {fd.get(), request.path, -1, QByteArray()},
                                 request.spot, [this] { return !abandoned.load(); });
    }
    result.firstLineNo = lines.firstLineNo;
    result.lines = lines.lines;
    result.problem = lines.noSuchMember
            ? QCoreApplication::translate("PreviewPane", "压缩包里没有这个文件")
            : lines.problem;
    return result;
}

void PreviewLoader::load(const PreviewRequest &request)
{
    abandoned.store(false);
    if (!wanted(request.generation))
        return;
    const PreviewText text = read(request);
    if (wanted(request.generation)) {
        handOver(this);
        emit loaded(text);
    }
}

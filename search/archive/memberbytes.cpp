#include "memberbytes.h"

#include "libarchivereader.h"
#include "pathcodec.h"

#include <QByteArray>

namespace {

constexpr qint64 kBlockSize = 1 << 20;

}  // namespace

bool readArchiveMember(int fd, const QString &member, const std::function<bool()> &stillWanted,
                       const std::function<bool(const char *data, qint64 size)> &consume)
{
    const ArchivePtr reader(archive_read_new());
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_all(reader.get());
    if (archive_read_open_fd(reader.get(), fd, 1 << 16) != ARCHIVE_OK)
        return false;
    archive_entry *entry = nullptr;
    while (archive_read_next_header(reader.get(), &entry) == ARCHIVE_OK) {
        if (!stillWanted())
            return true;
        const char *utf8 = archive_entry_pathname_utf8(entry);
        const char *bytes = archive_entry_pathname(entry);
        const QString name
                = utf8 ? QString::fromUtf8(utf8) : decodePath(bytes, int(qstrlen(bytes)));
        if (name != member)
            continue;
        QByteArray block(int(kBlockSize), Qt::Uninitialized);
        for (;;) {
            const la_ssize_t got
                    = archive_read_data(reader.get(), block.data(), size_t(kBlockSize));
            if (got <= 0 || !stillWanted() || !consume(block.constData(), got))
                return true;
        }
    }
    return false;
}

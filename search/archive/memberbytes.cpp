#include "memberbytes.h"

#include "archivesearch.h"
#include "membersearch.h"

#include <QDir>

namespace {

constexpr qint64 kBlockSize = 1 << 20;

// A content search that wants the one member named `target` and hands its
// bytes on; the walk ends once it has been read.
class OneMember : public MemberSearch
{
public:
    OneMember(const QString &target, const std::function<bool()> &stillWanted,
              const std::function<bool(const char *, qint64)> &consume)
        : target(target), baseName(target.mid(target.lastIndexOf(QDir::separator()) + 1)),
          stillWanted(stillWanted), consume(consume)
    {
    }

    // The walk reads no further once the member has been read (not while it
    // is: its reads ask this too).
    bool isCancelled() const override { return read || !stillWanted(); }
    bool searchesContent() const override { return true; }
    bool wantsMember(const QString &name) const override { return name == baseName; }

    void searchMember(const ByteSource::Reader &readMember, HitSink &,
                      const QString &hitName) const override
    {
        if (hitName != target)
            return;
        found = true;
        QByteArray block(int(kBlockSize), Qt::Uninitialized);
        for (;;) {
            const qint64 got = readMember(block.data(), kBlockSize);
            if (got <= 0 || !stillWanted() || !consume(block.constData(), got))
                break;
        }
        read = true;
    }

    mutable bool found = false;
    mutable bool read = false;

private:
    const QString target;
    const QString baseName;
    const std::function<bool()> &stillWanted;
    const std::function<bool(const char *, qint64)> &consume;
};

}  // namespace

bool readArchiveMember(int folderFd, const QByteArray &name, const QString &displayName,
                       const QString &member, const std::function<bool()> &stillWanted,
                       const std::function<bool(const char *data, qint64 size)> &consume)
{
    // A single compressed file's member is named after the file's own name.
    const QString ownName = displayName.mid(displayName.lastIndexOf(QLatin1Char('/')) + 1);
    const OneMember search(ownName + QDir::separator() + QDir::toNativeSeparators(member),
                           stillWanted, consume);
    HitSink unused;
    searchArchiveAt(ArchiveJob {folderFd, name, ownName, name, ArchiveNameRules(), true}, search,
                    unused);
    return search.found;
}

#include "archivebuilder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <archive.h>
#include <archive_entry.h>

namespace {

bool endsWith(const QString &path, const char *suffix)
{
    return path.endsWith(QLatin1String(suffix), Qt::CaseInsensitive);
}

bool endsWithAny(const QString &path, std::initializer_list<const char *> suffixes)
{
    for (const char *suffix : suffixes) {
        if (endsWith(path, suffix))
            return true;
    }
    return false;
}

// Sets the format and filter that the name's suffix stands for.
void chooseFormat(archive *a, const QString &path)
{
    if (endsWith(path, ".7z")) {
        archive_write_set_format_7zip(a);
    } else if (endsWith(path, ".cpio") || path.contains(QLatin1String(".cpio."))) {
        archive_write_set_format_cpio_newc(a);
    } else if (endsWith(path, ".iso")) {
        archive_write_set_format_iso9660(a);
        archive_write_set_option(a, "iso9660", "joliet", "1");
        archive_write_set_option(a, "iso9660", "rockridge", "1");
    } else if (endsWithAny(path, {".ar", ".a", ".deb"})) {
        archive_write_set_format_ar_svr4(a);
    } else if (endsWithAny(path, {".xar", ".pkg"})) {
        archive_write_set_format_xar(a);
    } else if (endsWith(path, ".warc")) {
        archive_write_set_format_warc(a);
    } else if (endsWithAny(
                       path,
                       {".tar", ".tgz", ".tbz2", ".tbz", ".txz", ".tzst", ".taz", ".tlz", ".tzo"})
               || path.contains(QLatin1String(".tar."), Qt::CaseInsensitive)) {
        archive_write_set_format_pax_restricted(a);
    } else {
        archive_write_set_format_raw(a);
    }
    if (endsWithAny(path, {".gz", ".tgz"}))
        archive_write_add_filter_gzip(a);
    else if (endsWithAny(path, {".bz2", ".tbz2", ".tbz"}))
        archive_write_add_filter_bzip2(a);
    else if (endsWithAny(path, {".xz", ".txz"}))
        archive_write_add_filter_xz(a);
    else if (endsWithAny(path, {".zst", ".tzst"}))
        archive_write_add_filter_zstd(a);
    else if (endsWithAny(path, {".Z", ".taz"}))
        archive_write_add_filter_compress(a);
    else if (endsWith(path, ".lz4"))
        archive_write_add_filter_lz4(a);
    else if (endsWithAny(path, {".lz", ".tlz"}))
        archive_write_add_filter_lzip(a);
    else if (endsWith(path, ".lzma"))
        archive_write_add_filter_lzma(a);
    else if (endsWithAny(path, {".lzo", ".tzo"}))
        archive_write_add_filter_lzop(a);  // runs Debian's lzop
}

void check(int status, archive *a, const QString &path)
{
    if (status < ARCHIVE_WARN)
        qFatal("ArchiveBuilder: %s: %s", qPrintable(path), archive_error_string(a));
}

// Puts the members below `dir` as files, for the tools that take a folder.
void writeTree(const QString &dir, const ArchiveBuilder::Members &members)
{
    for (const auto &member : members) {
        const QString path = dir + QLatin1Char('/') + QString::fromUtf8(member.first);
        if (member.first.endsWith('/')) {
            QDir().mkpath(path);
            continue;
        }
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(member.second) != member.second.size())
            qFatal("ArchiveBuilder: cannot write %s", qPrintable(path));
        // The tools date each member by its file, as the other writers do.
        file.flush();
        file.setFileTime(QDateTime::fromSecsSinceEpoch(ArchiveBuilder::kMemberTime),
                         QFileDevice::FileModificationTime);
    }
}

void runTool(const QString &program, const QStringList &arguments, const QString &workDir)
{
    QProcess tool;
    tool.setWorkingDirectory(workDir);
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit
        || tool.exitCode() != 0)
        qFatal("ArchiveBuilder: %s failed: %s", qPrintable(program), tool.readAll().constData());
}

QStringList topLevelNames(const ArchiveBuilder::Members &members)
{
    QStringList names;
    for (const auto &member : members) {
        const QString top = QString::fromUtf8(member.first).section(QLatin1Char('/'), 0, 0);
        if (!names.contains(top))
            names << top;
    }
    return names;
}

}  // namespace

QString ArchiveBuilder::write(const QString &path, const Members &members)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (endsWith(path, ".cab")) {
        QTemporaryDir tree;
        writeTree(tree.path(), members);
        QStringList files;
        for (const auto &member : members)
            files << QString::fromUtf8(member.first);
        runTool(QStringLiteral("gcab"), QStringList {"-c", "-z", path} + files, tree.path());
        return path;
    }
    archive *a = archive_write_new();
    chooseFormat(a, path);
    check(archive_write_open_filename(a, QFile::encodeName(path).constData()), a, path);
    for (const auto &member : members) {
        archive_entry *entry = archive_entry_new();
        const bool folder = member.first.endsWith('/');
        archive_entry_set_pathname(entry, member.first.constData());
        archive_entry_set_filetype(entry, folder ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(entry, folder ? 0755 : 0644);
        archive_entry_set_size(entry, folder ? 0 : member.second.size());
        archive_entry_set_mtime(entry, kMemberTime, 0);
        check(archive_write_header(a, entry), a, path);
        if (!folder
            && archive_write_data(a, member.second.constData(), size_t(member.second.size()))
                    != member.second.size())
            qFatal("ArchiveBuilder: cannot write %s into %s", member.first.constData(),
                   qPrintable(path));
        archive_entry_free(entry);
    }
    check(archive_write_close(a), a, path);
    archive_write_free(a);
    return path;
}

QString ArchiveBuilder::writeEncrypted(const QString &path, const Members &members,
                                       const QByteArray &password, bool headers)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QTemporaryDir tree;
    writeTree(tree.path(), members);
    QStringList arguments {"a", "-bd", "-p" + QString::fromUtf8(password)};
    if (!endsWith(path, ".zip"))
        arguments << (headers ? "-mhe=on" : "-mhe=off");
    runTool(QStringLiteral("7z"), arguments << path << topLevelNames(members), tree.path());
    return path;
}

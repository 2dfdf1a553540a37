#include "zipbuilder.h"

#include "archivebuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <zip.h>

#include <cstring>
#include <ctime>

ZipBuilder::ZipBuilder(const QString &path) : archivePath(path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        qFatal("ZipBuilder: cannot create %s", qPrintable(path));
}

ZipBuilder::~ZipBuilder()
{
    close();
}

void ZipBuilder::begin(const QByteArray &name)
{
    zip_fileinfo info;
    std::memset(&info, 0, sizeof info);
    const std::time_t when = ArchiveBuilder::kMemberTime;
    std::tm local {};
    localtime_r(&when, &local);
    info.tmz_date = {uInt(local.tm_sec),  uInt(local.tm_min), uInt(local.tm_hour),
                     uInt(local.tm_mday), uInt(local.tm_mon), uInt(local.tm_year + 1900)};
    const uInt fieldSize = uInt(timestampField.size());
    // Made on Unix, as zip and bsdtar write it here: a backslash in a name
    // is a character, not a folder separator as in a ZIP made on DOS.
    constexpr uLong kMadeOnUnix = (3 << 8) | 20;
    if (zipOpenNewFileInZip4_64(zip, name.constData(), &info, timestampField.constData(), fieldSize,
                                timestampField.constData(), fieldSize, nullptr, Z_DEFLATED,
                                Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY,
                                nullptr, 0, kMadeOnUnix, 0, 0)
        != ZIP_OK)
        qFatal("ZipBuilder: cannot add %s", name.constData());
}

void ZipBuilder::finish()
{
    if (zipCloseFileInZip(zip) != ZIP_OK)
        qFatal("ZipBuilder: cannot finish a member of %s", qPrintable(archivePath));
}

ZipBuilder &ZipBuilder::add(const QByteArray &name, const QByteArray &data)
{
    begin(name);
    if (!data.isEmpty()
        && zipWriteInFileInZip(zip, data.constData(), unsigned(data.size())) != ZIP_OK)
        qFatal("ZipBuilder: cannot write %s", name.constData());
    finish();
    return *this;
}

ZipBuilder &ZipBuilder::setExtendedTime(qint64 seconds)
{
    // Field 0x5455, 5 bytes: flags (modification time only), the time.
    timestampField = QByteArray("\x55\x54\x05\x00\x01", 5);
    for (int i = 0; i < 4; ++i)
        timestampField.append(char(quint32(seconds) >> (8 * i)));
    return *this;
}

ZipBuilder &ZipBuilder::addZeros(const QByteArray &name, qint64 size)
{
    const QByteArray chunk(1 << 20, '\0');
    begin(name);
    for (qint64 left = size; left > 0; left -= chunk.size()) {
        const unsigned part = unsigned(qMin<qint64>(left, chunk.size()));
        if (zipWriteInFileInZip(zip, chunk.constData(), part) != ZIP_OK)
            qFatal("ZipBuilder: cannot write %s", name.constData());
    }
    finish();
    return *this;
}

QString ZipBuilder::close()
{
    if (zip && zipClose(zip, nullptr) != ZIP_OK)
        qFatal("ZipBuilder: cannot close %s", qPrintable(archivePath));
    zip = nullptr;
    return archivePath;
}

#include "zipentry.h"

#include "tfileinfo.h"
#include "zipextrafields.h"

#include <ctime>

namespace {

// The maker's system, the high byte of "version made by".
constexpr quint16 kMadeOnDos = 0;
constexpr quint16 kMadeOnUnix = 3;
constexpr quint16 kMadeOnNtfs = 11;
constexpr quint16 kMadeOnVfat = 14;
constexpr quint32 kUnixTypeMask = 0170000;
constexpr quint32 kUnixRegularFile = 0100000;
constexpr quint32 kUnixFolder = 0040000;

}  // namespace

bool ZipEntry::usesBackslashes() const
{
    const quint16 madeOn = versionMadeBy >> 8;
    return madeOn == kMadeOnDos || madeOn == kMadeOnNtfs || madeOn == kMadeOnVfat;
}

bool ZipEntry::isSpecialFile() const
{
    const quint32 type = (externalAttributes >> 16) & kUnixTypeMask;
    return (versionMadeBy >> 8) == kMadeOnUnix && type != 0 && type != kUnixRegularFile
            && type != kUnixFolder;
}

qint64 ZipEntry::modified() const
{
    qint64 seconds = TFileInfo::kNoTime;
    if (extendedTimestamp(extra, &seconds) || dosDateTime == 0)
        return seconds;
    const quint32 date = dosDateTime >> 16;
    std::tm local {};
    local.tm_year = int((date >> 9) & 0x7F) + 1980 - 1900;
    local.tm_mon = int((date >> 5) & 0xF) - 1;
    local.tm_mday = int(date & 0x1F);
    local.tm_hour = int((dosDateTime >> 11) & 0x1F);
    local.tm_min = int((dosDateTime >> 5) & 0x3F);
    local.tm_sec = int(dosDateTime & 0x1F) * 2;
    local.tm_isdst = -1;  // the zone's rule for that day
    const std::time_t time = std::mktime(&local);
    return time == std::time_t(-1) ? TFileInfo::kNoTime : qint64(time);
}

QString ZipEntry::memberName(MemberNameDecoder &names) const
{
    QString name
            = names.decode(rawName, nameMaker(), namesUtf8(), unicodePathField(extra, rawName));
    if (usesBackslashes())
        name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return name;
}

LegacyNameSample::LegacyNameSample(const MemberNameDecoder &names)
    : names(names), needed(names.wantsSample(NameMaker::Dos) || names.wantsSample(NameMaker::Unix))
{
}

void LegacyNameSample::note(const ZipEntry &entry)
{
    if (needed && names.isLegacy(entry.rawName, entry.namesUtf8())
        && unicodePathField(entry.extra, entry.rawName).isNull())
        legacy[int(entry.nameMaker())].append(entry.rawName);
}

void LegacyNameSample::pickFor(MemberNameDecoder &decoder) const
{
    for (const NameMaker maker : {NameMaker::Dos, NameMaker::Unix}) {
        if (!legacy[int(maker)].isEmpty())
            decoder.detectFrom(legacy[int(maker)], maker);
    }
}

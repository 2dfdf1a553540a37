#include "archiveformat.h"

namespace {

struct Suffix
{
    constexpr Suffix(const char *text, ArchiveFormat format)
        : text(text), length(lengthOf(text)), format(format)
    {
    }
    static constexpr int lengthOf(const char *text)
    {
        int length = 0;
        while (text[length])
            ++length;
        return length;
    }

    const char *text;  // lower case, with its leading dot
    int length;
    ArchiveFormat format;
};

// Longest first where one suffix ends another (".tar.gz" before ".gz").
const Suffix kSuffixes[] = {
        {".zip.001", ArchiveFormat::Split},  {".7z.001", ArchiveFormat::Split},
        {".tar.gz", ArchiveFormat::Tar},     {".tar.bz2", ArchiveFormat::Tar},
        {".tar.xz", ArchiveFormat::Tar},     {".tar.zst", ArchiveFormat::Tar},
        {".tar.z", ArchiveFormat::Tar},      {".tar.lz4", ArchiveFormat::Tar},
        {".tar.lz", ArchiveFormat::Tar},     {".tar.lzma", ArchiveFormat::Tar},
        {".tar.lzo", ArchiveFormat::Tar},    {".tgz", ArchiveFormat::Tar},
        {".tbz2", ArchiveFormat::Tar},       {".tbz", ArchiveFormat::Tar},
        {".txz", ArchiveFormat::Tar},        {".tzst", ArchiveFormat::Tar},
        {".taz", ArchiveFormat::Tar},        {".tlz", ArchiveFormat::Tar},
        {".tzo", ArchiveFormat::Tar},        {".tar", ArchiveFormat::Tar},
        {".zip", ArchiveFormat::Zip},        {".jar", ArchiveFormat::Zip},
        {".war", ArchiveFormat::Zip},        {".ear", ArchiveFormat::Zip},
        {".apk", ArchiveFormat::Zip},        {".zipx", ArchiveFormat::Zip},
        {".whl", ArchiveFormat::Zip},        {".xpi", ArchiveFormat::Zip},
        {".rar", ArchiveFormat::Rar},        {".7z", ArchiveFormat::SevenZip},
        {".cpio", ArchiveFormat::Cpio},      {".iso", ArchiveFormat::Iso},
        {".cab", ArchiveFormat::Cab},        {".deb", ArchiveFormat::Ar},
        {".ar", ArchiveFormat::Ar},          {".a", ArchiveFormat::Ar},
        {".rpm", ArchiveFormat::Rpm},        {".xar", ArchiveFormat::Xar},
        {".pkg", ArchiveFormat::Xar},        {".lzh", ArchiveFormat::Lha},
        {".lha", ArchiveFormat::Lha},        {".warc", ArchiveFormat::Warc},
        {".gz", ArchiveFormat::Compressed},  {".bz2", ArchiveFormat::Compressed},
        {".xz", ArchiveFormat::Compressed},  {".zst", ArchiveFormat::Compressed},
        {".z", ArchiveFormat::Compressed},   {".lz4", ArchiveFormat::Compressed},
        {".lz", ArchiveFormat::Compressed},  {".lzma", ArchiveFormat::Compressed},
        {".lzo", ArchiveFormat::Compressed}, {".exe", ArchiveFormat::SelfExtracting},
};

uint unitAt(const QByteArray &name, int i)
{
    return uchar(name.at(i));
}

uint unitAt(const QString &name, int i)
{
    return name.at(i).unicode();
}

uint lowerAscii(uint c)
{
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

// `Name` is a QByteArray or a QString: its units are compared as ASCII.
template<typename Name> bool endsWithIgnoringCase(const Name &name, const Suffix &suffix)
{
    if (name.size() < suffix.length)
        return false;
    const int tail = name.size() - suffix.length;
    for (int i = 0; i < suffix.length; ++i) {
        if (lowerAscii(unitAt(name, tail + i)) != uint(uchar(suffix.text[i])))
            return false;
    }
    return true;
}

// Asked of every name a walk lists: most names end in none of the suffixes'
// last characters and cost one comparison per suffix.
template<typename Name> const Suffix *suffixOf(const Name &name)
{
    if (name.isEmpty())
        return nullptr;
    const uint last = lowerAscii(unitAt(name, name.size() - 1));
    for (const Suffix &suffix : kSuffixes) {
        if (uint(uchar(suffix.text[suffix.length - 1])) == last
            && endsWithIgnoringCase(name, suffix))
            return &suffix;
    }
    return nullptr;
}

}  // namespace

ArchiveFormat archiveFormatOf(const QByteArray &name)
{
    const Suffix *suffix = suffixOf(name);
    return suffix ? suffix->format : ArchiveFormat::None;
}

ArchiveFormat archiveFormatOf(const QString &name)
{
    const Suffix *suffix = suffixOf(name);
    return suffix ? suffix->format : ArchiveFormat::None;
}

ArchiveFormat nestedArchiveFormatOf(const QString &name)
{
    const ArchiveFormat format = archiveFormatOf(name);
    return format == ArchiveFormat::SelfExtracting || format == ArchiveFormat::Split
            ? ArchiveFormat::None
            : format;
}

ArchiveFormat splitArchiveFormatOf(const QString &name)
{
    if (archiveFormatOf(name) != ArchiveFormat::Split)
        return ArchiveFormat::None;
    return archiveFormatOf(name.left(name.size() - 4));
}

QString compressedMemberName(const QString &name)
{
    const Suffix *suffix = suffixOf(name);
    if (!suffix || suffix->format != ArchiveFormat::Compressed)
        return name;
    return name.left(name.size() - suffix->length);
}

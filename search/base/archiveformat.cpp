#include "archiveformat.h"

namespace {

struct Suffix
{
    const char *text;  // lower case, with its leading dot
    ArchiveFormat format;
};

// Longest first where one suffix ends another (".tar.gz" before ".gz").
const Suffix kSuffixes[] = {
        {".tar.gz", ArchiveFormat::Tar},
        {".tar.bz2", ArchiveFormat::Tar},
        {".tar.xz", ArchiveFormat::Tar},
        {".tar.zst", ArchiveFormat::Tar},
        {".tar.z", ArchiveFormat::Tar},
        {".tar.lz4", ArchiveFormat::Tar},
        {".tar.lz", ArchiveFormat::Tar},
        {".tar.lzma", ArchiveFormat::Tar},
        {".tar.lzo", ArchiveFormat::Tar},
        {".tgz", ArchiveFormat::Tar},
        {".tbz2", ArchiveFormat::Tar},
        {".tbz", ArchiveFormat::Tar},
        {".txz", ArchiveFormat::Tar},
        {".tzst", ArchiveFormat::Tar},
        {".taz", ArchiveFormat::Tar},
        {".tlz", ArchiveFormat::Tar},
        {".tar", ArchiveFormat::Tar},
        {".zip", ArchiveFormat::Zip},
        {".jar", ArchiveFormat::Zip},
        {".war", ArchiveFormat::Zip},
        {".ear", ArchiveFormat::Zip},
        {".apk", ArchiveFormat::Zip},
        {".zipx", ArchiveFormat::Zip},
        {".whl", ArchiveFormat::Zip},
        {".xpi", ArchiveFormat::Zip},
        {".rar", ArchiveFormat::Rar},
        {".7z", ArchiveFormat::SevenZip},
        {".cpio", ArchiveFormat::Cpio},
        {".iso", ArchiveFormat::Iso},
        {".cab", ArchiveFormat::Cab},
        {".deb", ArchiveFormat::Ar},
        {".ar", ArchiveFormat::Ar},
        {".a", ArchiveFormat::Ar},
        {".rpm", ArchiveFormat::Rpm},
        {".xar", ArchiveFormat::Xar},
        {".pkg", ArchiveFormat::Xar},
        {".lzh", ArchiveFormat::Lha},
        {".lha", ArchiveFormat::Lha},
        {".warc", ArchiveFormat::Warc},
        {".gz", ArchiveFormat::Compressed},
        {".bz2", ArchiveFormat::Compressed},
        {".xz", ArchiveFormat::Compressed},
        {".zst", ArchiveFormat::Compressed},
        {".z", ArchiveFormat::Compressed},
        {".lz4", ArchiveFormat::Compressed},
        {".lz", ArchiveFormat::Compressed},
        {".lzma", ArchiveFormat::Compressed},
        {".lzo", ArchiveFormat::Compressed},
};

uint unitAt(const QByteArray &name, int i)
{
    return uchar(name.at(i));
}

uint unitAt(const QString &name, int i)
{
    return name.at(i).unicode();
}

// `Name` is a QByteArray or a QString: its units are compared as ASCII.
template<typename Name> bool endsWithIgnoringCase(const Name &name, const char *suffix, int length)
{
    if (name.size() < length)
        return false;
    const int tail = name.size() - length;
    for (int i = 0; i < length; ++i) {
        uint c = unitAt(name, tail + i);
        if (c >= 'A' && c <= 'Z')
            c = c - 'A' + 'a';
        if (c != uint(uchar(suffix[i])))
            return false;
    }
    return true;
}

template<typename Name> const Suffix *suffixOf(const Name &name)
{
    for (const Suffix &suffix : kSuffixes) {
        if (endsWithIgnoringCase(name, suffix.text, int(qstrlen(suffix.text))))
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

QString compressedMemberName(const QString &name)
{
    const Suffix *suffix = suffixOf(name);
    if (!suffix || suffix->format != ArchiveFormat::Compressed)
        return name;
    return name.left(name.size() - int(qstrlen(suffix->text)));
}

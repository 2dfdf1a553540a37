#include "pseudofs.h"

#include <sys/statfs.h>
#include <sys/vfs.h>

namespace {

// f_type values from <linux/magic.h>, listed here so the build does not
// depend on kernel headers.
constexpr unsigned long kProc = 0x9fa0;
constexpr unsigned long kSysfs = 0x62656572;
constexpr unsigned long kPseudo[] = {
        kProc,      kSysfs,
        0x64626720,  // debugfs
        0x74726163,  // tracefs
        0x27e0eb,    // cgroup
        0x63677270,  // cgroup2
        0x73636673,  // securityfs
        0xf97cff8c,  // selinuxfs
        0x43415d53,  // smackfs
        0x6165676c,  // pstore
        0xde5e81e4,  // efivarfs
        0xcafe4a11,  // bpf
        0x62656570,  // configfs
        0x65735543,  // fusectl
        0x42494e4d,  // binfmt_misc
        0x1cd1,      // devpts
        0x19800202,  // mqueue
        0x6e736673,  // nsfs
        0x50495045,  // pipefs
        0x534f434b,  // sockfs
        0x09041934,  // anon_inode_fs
};

bool isPseudoType(unsigned long type)
{
    for (const unsigned long t : kPseudo) {
        if (t == type)
            return true;
    }
    return false;
}

}  // namespace

bool isPseudoFileSystemOf(const char *path)
{
    struct statfs info;
    if (statfs(path, &info) != 0)
        return true;  // unknown: do not read
    return isPseudoType(static_cast<unsigned long>(info.f_type));
}

FileSystemKind fileSystemKindAt(int fd)
{
    FileSystemKind kind;
    struct statfs info;
    if (fstatfs(fd, &info) != 0)
        return kind;  // unknown: do not read
    const auto type = static_cast<unsigned long>(info.f_type);
    kind.pseudo = isPseudoType(type);
    kind.procOrSysfs = type == kProc || type == kSysfs;
    return kind;
}

#ifndef PSEUDOFS_H
#define PSEUDOFS_H

// Kernel file systems whose files are not data: reading them can block,
// never end or have side effects, so the search never reads them as content.
// Asked of the path, without opening the file: opening some of these files
// alone has effects (tracefs pauses tracing while its trace file is open).
bool isPseudoFileSystemOf(const char *path);

// What the walk needs to know of the file system of the open folder `fd`
// (the files of a folder lie on its file system), asked once per folder.
struct FileSystemKind
{
    bool pseudo = true;  // a kernel file system, or one that cannot be told
    // proc and sysfs, whose links to directories (/proc/*/cwd, /sys/class/...)
    // would multiply the walk; the walk lists their names but follows no links.
    bool procOrSysfs = false;
};
FileSystemKind fileSystemKindAt(int fd);

#endif  // PSEUDOFS_H

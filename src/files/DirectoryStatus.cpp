#include "files/DirectoryStatus.h"

#include <cerrno>
#include <fcntl.h>

std::optional<struct stat> SearchableDirectoryStatus(const CSafeDirectory& directory, FileFault* fault)
{
    struct stat st;
    if (directory.IsOpen() && ::fstatat(directory.Fd(), ".", &st, AT_SYMLINK_NOFOLLOW) == 0)
        return st;
    if (fault)
        *fault = directory.IsOpen() ? FileFault{FileFault::Kind::System, errno, directory.Path()} : directory.Fault();
    return std::nullopt;
}

bool IsSameDirectory(const CSafeDirectory& a, const CSafeDirectory& b)
{
    struct stat first, second;
    if (!a.IsOpen() || !b.IsOpen() || ::fstat(a.Fd(), &first) != 0 || ::fstat(b.Fd(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

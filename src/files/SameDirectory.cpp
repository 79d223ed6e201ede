#include "files/SameDirectory.h"

#include <sys/stat.h>

bool IsSameDirectory(const CSafeDirectory& a, const CSafeDirectory& b)
{
    struct stat first, second;
    if (!a.IsOpen() || !b.IsOpen() || ::fstat(a.Fd(), &first) != 0 || ::fstat(b.Fd(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

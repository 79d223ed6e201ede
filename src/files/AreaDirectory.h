#pragma once

#include "files/SafeFiles.h"

#include <QString>

// The directory of a file area, by the path the administrator configured: an area whose path is
// empty lies in the current directory.
inline CSafeDirectory OpenAreaDirectory(const QString& path)
{
    return CSafeDirectory::Open(path.isEmpty() ? QStringLiteral(".") : path);
}

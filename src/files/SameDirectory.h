#pragma once

#include "files/SafeFiles.h"

// True when both open directories are the same directory on disk (the same device and inode),
// however they were reached: two areas may share a directory under different paths.
bool IsSameDirectory(const CSafeDirectory& a, const CSafeDirectory& b);

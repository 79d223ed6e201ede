#pragma once

#include "files/SafeFiles.h"

#include <optional>
#include <sys/stat.h>

// An open directory's own status (its device and inode tell which directory it is), asked through
// "." inside it. That needs the right to search the directory, as looking at any of its entries
// does: for a directory that can be listed but not entered it is nullopt, with the fault naming the
// directory.
std::optional<struct stat> SearchableDirectoryStatus(const CSafeDirectory& directory, FileFault* fault = nullptr);

// True when both open directories are the same directory on disk (the same device and inode),
// however they were reached: two areas may share a directory under different paths.
bool IsSameDirectory(const CSafeDirectory& a, const CSafeDirectory& b);

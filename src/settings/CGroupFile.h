#pragma once

#include "settings/CMappedFile.h"

#include <QString>

// A "*.group" file: little-endian 32-bit area ids, no header. Trailing bytes short of a whole id
// are not counted.
class CGroupFile : public CMappedFile
{
public:
    // Reading a group never makes one: a name without a file (such as "Search results") is a
    // group without areas, and must not turn up as a group at the next start.
    CGroupFile() : CMappedFile(4, false, false) {}

    // Id number i (0 to count-1) in the order the group shows its areas.
    quint32 GetAreaId(quint32 index) const;

    // The group's name: the file's name without its directory and without its last extension.
    static QString GroupNameFromFileName(const QString& fileName);
};

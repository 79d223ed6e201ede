#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The unzip entry that description extraction relies on, over libzip, reading into memory: no
// file is written anywhere. Reads the archive from the open file archiveFd (which stays the
// caller's: it is never closed here, and the archive is read through it, never reopened by a name
// that could lead elsewhere meanwhile). members[i] receives the bytes of the archive's member whose
// name matches memberNames[i] without regard to case. Only members at the archive's top level
// match: one in a subdirectory ("/" or "\" in its name), a directory entry or a symbolic link is
// not taken. At most maxBytesPerMember bytes of each member are read, whatever size the archive
// declares, so that no archive can fill the memory; the first of two members of the same name wins.
//
// Returns 0 when the archive was read and every matching member that could be opened was read
// (a member absent from the archive, or one in a compression method or encryption libzip cannot
// read, is simply not there: nullopt); anything else, with every member nullopt, when the archive
// cannot be opened or a member's data is corrupt.
int UnzipMembers(int archiveFd, const QStringList& memberNames, qint64 maxBytesPerMember,
                 QList<std::optional<QByteArray>>& members);

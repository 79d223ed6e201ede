#pragma once

#include <QString>
#include <QStringList>

// The unzip entry that description extraction relies on, over libzip. Reads the archive from the
// open file archiveFd (which stays the caller's: it is never closed here, and the archive is read
// through it, never reopened by a name that could lead elsewhere meanwhile). Writes each member of
// the archive whose name matches one of memberNames, without regard to case, as a file of that
// listed name directly in destination. Only members at the archive's top level match: one in a
// subdirectory ("/" or "\" in its name), a directory entry or a symbolic link is not taken. At most
// maxBytesPerMember bytes of each member are written, so that no archive can fill the disk; the
// first of two members of the same name wins.
//
// Returns 0 when the archive was read and every matching member that could be opened was written
// (a member absent from the archive, or one in a compression method or encryption libzip cannot
// read, is simply not there); anything else when the archive cannot be opened, a member's data is
// corrupt or a file cannot be written. After a failure the destination may hold partial files.
int UnzipMembers(int archiveFd, const QStringList& memberNames, const QString& destination,
                 qint64 maxBytesPerMember);

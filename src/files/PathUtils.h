#pragma once

#include <QString>
#include <QStringView>

// Path helpers shared by the whole program. Paths use "/" between their parts; the helper names
// keep the library's historical "Backslash" wording. A buffer of N bytes holds at most N-1 bytes of
// UTF-8 and never half a character.

constexpr int kMaxPathBuffer = 260;     // a path of at most 259 bytes
constexpr int kMaxMakePathBuffer = 520; // MakePath gives at most 519 bytes

// The source cut to what fits a buffer of bufferSize bytes with its terminator.
QString SafeStrCopy(QStringView source, int bufferSize);

// Appends "/" unless the path is empty or already ends in one.
void AddTrailingBackslash(QString& path);
QString CopyWithTrailingBackslash(const QString& source);
void EnsureTrailingBackslash(QString& path);
// Removes one final "/".
void RemoveTrailingSlash(QString& path);

// Index of the extension's dot, searching back from the end; -1 when a "/" comes first or the
// path is empty.
qsizetype FindExtension(QStringView path);
// The text before its last dot, wherever that dot stands (also inside a directory name).
QString StripExtension(const QString& path);

// The absolute, lexically normalised form of a path: no "." or ".." parts, no doubled separators,
// symbolic links not resolved; a trailing "/" is kept.
QString GetFullPathName(const QString& path);
// The name after the last "/" and the directory up to and including it, when the path already is
// a full path; otherwise empty.
QString GetFileNamePart(const QString& path);
QString GetDirectoryPart(const QString& path);

// directory + "/" (when needed) + name without one leading "/" + "." + extension (when given).
QString MakePath(const QString& directory, const QString& name = QString(),
                 const QString& extension = QString());

// True for an empty path, else true when the path is a directory the process may enter.
bool IsDirectory(const QString& path);
// True when something exists at the path and it is not a directory the process may enter.
bool FileExists(const QString& path);

// Removes white space at both ends, in place; returns the trimmed text.
QString TrimString(QString& text);
// The source without its trailing spaces (spaces only).
QString CopyTrimRight(const QString& source);

#pragma once

#include <QByteArray>
#include <QString>

// Text files larger than this are read only up to it: the files read this way (descriptions,
// reviews, submissions) are small, and a huge or endless file must not exhaust memory.
constexpr qint64 kMaxTextFileSize = 64 * 1024 * 1024;

// The whole file's bytes (at most maxBytes of them), up to its first NUL byte. Empty when the file
// cannot be opened or another program holds it locked for writing.
QByteArray ReadTextFile(const QString& path, qint64 maxBytes = kMaxTextFileSize);
// The file's size, low 32 bits; 0 when it cannot be opened.
quint32 GetFileSizeByName(const QString& path);
// The current local (not UTC) time in 100-nanosecond units since 1 January 1601.
quint64 GetLocalFileTime();

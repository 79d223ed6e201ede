#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Text files that the web site writes (review files, submissions, upload descriptions), read as the
// site's own readers read them: in text mode, line by line in pieces of a fixed length.

// Opens an existing regular file without ever blocking: a FIFO or device of that name fails
// instead of hanging the window. -1 on failure.
int OpenRegularFile(const QString& path, int flags);

// The lines of the text, each cleaned of its line end (CR LF, LF or a CR alone): a line longer than
// maxPieceBytes comes as several pieces (never cutting a UTF-8 sequence), a piece ends at a NUL
// byte, and bytes that are not UTF-8 are taken as Windows-1252, the site's old code page.
// rawLineEnds, when given, receives where each line ends in data (its line end included).
QStringList SplitSiteTextLines(QByteArray data, int maxPieceBytes, QList<qsizetype>* rawLineEnds = nullptr);

// At most maxFileBytes of the file (complete as below); empty when it cannot be read.
QByteArray ReadSiteTextFile(const QString& path, qint64 maxFileBytes, bool* complete = nullptr,
                            int openFlags = 0);

// The lines of the file as SplitSiteTextLines gives them, reading at most maxFileBytes. Empty when
// the file is absent, unreadable or not a regular file (openFlags adds to O_RDONLY, for instance
// O_NOFOLLOW). complete, when given, is set false when the file was larger and only its beginning
// was read.
QStringList ReadSiteTextLines(const QString& path, int maxPieceBytes, qint64 maxFileBytes,
                              bool* complete = nullptr, int openFlags = 0);

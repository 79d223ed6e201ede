#pragma once

#include <QString>

// Descriptions that a file carries inside it: an archive's one-line "desc.sdi" (the brief
// description) and multi-line "file_id.diz" (the detailed one), as the upload tools of the BBS era
// left them.

// True when the open file starts with a zip signature (a local file header, or the end record of an
// empty archive). A file that cannot be read is no zip file.
bool IsZipFile(int fd);

// Fills brief and detailed from the open file's description members as far as it yields them,
// each held to its buffer size in bytes (so at most size - 1 bytes of UTF-8, never a character cut
// in half). Whether they replace texts already filled in follows the "DIZSDIPrecedence" setting.
// The archive is read through fd itself, which stays the caller's.
void ExtractDescriptions(int fd, QString& brief, int briefSize, QString& detailed, int detailedSize);

// The same for a file the administrator chose, by its path (links followed). Files in directories
// the web site can write are opened through the file layer and given by descriptor instead.
void ExtractDescriptions(const QString& path, QString& brief, int briefSize, QString& detailed, int detailedSize);

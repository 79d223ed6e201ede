#pragma once

#include <QString>

// Descriptions that a file carries inside it: an archive's one-line "desc.sdi" (the brief
// description) and multi-line "file_id.diz" (the detailed one), as the upload tools of the BBS era
// left them.

// True when the file starts with a zip signature (a local file header, or the end record of an
// empty archive). A file that cannot be opened is no zip file.
bool IsZipFile(const QString& path);

// Fills brief and detailed from the file's description members as far as it yields them, each
// held to its buffer size in bytes (so at most size - 1 bytes of UTF-8, never a character cut in
// half). Whether they replace texts already filled in follows the "DIZSDIPrecedence" setting.
void ExtractDescriptions(const QString& path, QString& brief, int briefSize, QString& detailed, int detailedSize);

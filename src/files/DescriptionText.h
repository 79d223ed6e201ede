#pragma once

#include <QByteArray>
#include <QString>

// The rules that turn the two description members into the brief and the detailed description.
// Sizes are buffer sizes in bytes: a text held to size N has at most N - 1 bytes of UTF-8 and never
// half a character.

// Width of one line of a detailed description: longer lines are broken into pieces this long.
constexpr int kDescriptionPieceLength = 78;

// The text of a description member as DOS programs read it in text mode: it ends at the first
// Ctrl-Z and CR LF becomes LF. Bytes that are valid UTF-8 are taken as such (without a byte order
// mark); anything else is code page 437, the DOS text of the BBS era, converted with iconv. cut says the bytes are only the start
// of the member, so a UTF-8 sequence broken at their end is dropped instead of making it code page
// 437.
QString DecodeDescriptionText(const QByteArray& bytes, bool cut);

// desc.sdi: the first line, held to briefSize, without its line feed. False when the text is empty
// (no line was read), leaving brief as it was.
bool ReadBriefLine(const QString& text, int briefSize, QString& brief);

// file_id.diz: each line, or each piece of 78 characters of a longer line, with its trailing spaces
// removed and CR LF appended, as far as detailedSize holds.
QString BuildDetailedText(const QString& text, int detailedSize);

// The brief a detailed text gives: its text up to the first CR, held to briefSize.
QString BriefFromDetailed(const QString& detailed, int briefSize);

// A text with its line ends as every detailed description is stored: CR LF and a lone CR become LF.
QString WithLineFeeds(QString text);

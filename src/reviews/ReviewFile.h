#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One published review of a file.
struct CReview
{
    QString name;
    QString email;
    bool anonymous = false;
    QString date; // free text, as the site shows it
    QString text; // lines separated by CR LF

    bool operator==(const CReview&) const = default;
};

// Review files hold the reviews of one file and are small; a larger file is read only up to this,
// so that a runaway or hostile file cannot exhaust memory.
constexpr qint64 kMaxReviewFileSize = 4 * 1024 * 1024;
// Lines are read in pieces of at most this many bytes, as the site's own readers do.
constexpr int kMaxReviewLineBytes = 255;

// "<web root>reviews/<file id>.txt", under g_szHttpPath or a web root given with its final "/".
QString ReviewFilePath(qint32 fileId);
QString ReviewFilePath(const QString& webRoot, qint32 fileId);

// The lines of a review or submissions file, each cleaned of its line end: lines longer than
// kMaxReviewLineBytes come as several pieces (never cutting a UTF-8 sequence), a piece ends at a
// NUL byte, and bytes that are not UTF-8 are taken as Windows-1252, the site's old code page.
// Empty when the file is absent, unreadable or not a regular file. complete, when given, is set
// false when the file was larger than kMaxReviewFileSize and only its beginning was read.
QStringList ReadReviewLines(const QString& path, bool* complete = nullptr);

// Takes line lineNumber (from 0) of a record into the review: name, e-mail, "true" when anonymous
// (in any case), date, then the lines of the text joined with CR LF.
void SetReviewLine(CReview& review, int lineNumber, const QString& line);

// Replaces reviews with the file's records; an absent or unreadable file gives none. False only
// when the file was too large to be read whole: then it must not be written back from the list.
bool ReadReviewFile(const QString& path, QList<CReview>& reviews);
// Replaces the file with the records, in list order, in one atomic step; an empty list deletes it.
// False when the file could not be written (or deleted).
bool WriteReviewFile(const QString& path, const QList<CReview>& reviews);
// Adds one record at the end of the file in a single write, creating the file when it is absent
// (its directory is not created). False when the file cannot be opened for appending or written.
bool AppendReviewToFile(const QString& path, const CReview& review);

// A one-line field as a line of the file: up to its first NUL, with line breaks and TABs made
// spaces, so that it can neither end the record nor shift the fields after it.
QString ReviewFileLine(const QString& field);

// The bytes of one record as the file holds it (CR LF line ends, TAB line last). The text's TABs
// become spaces, for the same reason.
QByteArray FormatReviewRecord(const CReview& review);

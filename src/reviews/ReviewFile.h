#pragma once

#include <QByteArray>
#include <QHashFunctions>
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

inline size_t qHash(const CReview& review, size_t seed = 0) noexcept
{
    return qHashMulti(seed, review.name, review.email, review.anonymous, review.date, review.text);
}

// Review files hold the reviews of one file and are small; a larger file is read only up to this
// (CSiteRecordFile::kReadLimit).
constexpr qint64 kMaxReviewFileSize = 4 * 1024 * 1024;
// Lines are read in pieces of at most this many bytes, as the site's own readers do.
constexpr int kMaxReviewLineBytes = 255;
// The longest line the explorer writes: with its line end it still fits in one piece.
constexpr int kMaxWrittenLineBytes = kMaxReviewLineBytes - 1;

// "<web root>reviews/<file id>.txt", under g_szHttpPath or a web root given with its final "/". The
// id is written whole: the database's ids go far beyond 32 bits.
QString ReviewFilePath(qint64 fileId);
QString ReviewFilePath(const QString& webRoot, qint64 fileId);

// ---- The record format that review files and submissions.txt share ----

// The records of a review or submissions file: each record's lines and where it lies in the bytes.
struct SiteRecords
{
    struct Record
    {
        QStringList lines; // its TAB line left out
        qsizetype start = 0;
        qsizetype end = 0; // after its TAB line's line end
    };
    QList<Record> records;
    // Where the last record ends. The bytes after it belong to no record: lines after the last TAB
    // line, or what lies past the part of a large file that was read.
    qsizetype end = 0;
};

// Splits the bytes of a file into records: lines as SplitSiteTextLines gives them, each record
// ended by a line that begins with a TAB. When data is only the beginning of the file (whole
// false), a line whose line end may go on past it (a CR that may be half of a CR LF) ends nothing.
SiteRecords SplitRecords(const QByteArray& data, bool whole);

// Takes line lineNumber (from 0) of a record into the review: name, e-mail, "true" when anonymous
// (in any case), date, then the lines of the text joined with CR LF.
void SetReviewLine(CReview& review, int lineNumber, const QString& line);
CReview ReviewFromLines(const QStringList& lines);
// The reviews of a review file's bytes (SplitRecords tells what whole means).
QList<CReview> ReviewsIn(const QByteArray& data, bool whole = true);

// A one-line field as the file's line (without its line end), in UTF-8: up to its first NUL, line
// breaks made spaces and a leading TAB a space, so that it can neither end the record nor shift
// the fields after it. A longer line is cut at a character boundary to kMaxWrittenLineBytes: a
// second line would shift the fields after it, so what does not fit is dropped.
QByteArray ReviewFileLine(const QString& field);

// The bytes of one record as the file holds it (CR LF line ends, TAB line last). The text's own
// line breaks become the file's line ends.
QByteArray FormatReviewRecord(const CReview& review);

// ---- Review files ----

// Replaces reviews with the file's records; an absent file gives none. False when the file was not
// read whole (refused, unreadable, or larger than kMaxReviewFileSize: then its first records are
// given); *problem then says why, naming the file.
bool ReadReviewFile(const QString& path, QList<CReview>& reviews, QString* problem = nullptr);
// Replaces the file with the records, in list order, under the site's lock and in one atomic step;
// an empty list deletes it. False, the old file left as it was, when it could not be written.
bool WriteReviewFile(const QString& path, const QList<CReview>& reviews, QString* problem = nullptr);
// Adds one record at the end of the file in a single write under the site's lock, creating the file
// when it is absent (its directory is not created). False when the file cannot be appended to.
bool AppendReviewToFile(const QString& path, const CReview& review, QString* problem = nullptr);

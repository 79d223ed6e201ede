#pragma once

#include "reviews/ReviewFile.h"

#include <QList>
#include <QString>

// Reviews that visitors submitted on the web site, waiting in "<web root>reviews/submissions.txt"
// for the administrator. The site appends records to the file; the explorer reads it, and rewrites
// it without the submissions it posted or deleted.
//
// The site and the explorer meet on "submissions.txt.lock" beside the file: both take an exclusive
// flock on it, the site to append one record, the explorer to read the file and to rewrite it (see
// docs/submissions.md).

// One waiting review: a review and the file it is about.
struct CSubmission : CReview
{
    qint64 file_id = -1;
    QString file_name; // the reviewed file's name as the site recorded it

    bool operator==(const CSubmission&) const = default;
};

inline size_t qHash(const CSubmission& submission, size_t seed = 0) noexcept
{
    return qHashMulti(seed, static_cast<const CReview&>(submission), submission.file_id,
                      submission.file_name);
}

// "<web root>reviews/submissions.txt", under g_szHttpPath.
QString SubmissionsFilePath();

// The records of the file, in file order; none when it is absent. Of a file larger than
// kMaxReviewFileSize, the records in its beginning. Lines after the last record's TAB line belong to
// no record. False, with *problem naming the file, when it was refused or could not be read.
bool ReadSubmissions(const QString& path, QList<CSubmission>& submissions, QString* problem = nullptr);

// The bytes of one record as the file holds it (CR LF line ends, TAB line last).
QByteArray FormatSubmission(const CSubmission& submission);

// Replaces the file with these records, in list order, under the lock and in one atomic step; an
// empty list deletes it. False, the old file left as it was, when it could not be written.
bool WriteSubmissions(const QString& path, const QList<CSubmission>& submissions, QString* problem = nullptr);

// Takes the submissions that were posted or deleted out of the file, under the lock, keeping every
// other byte as it is: records the site appended since the file was read, the rest of a file too
// large to read at once, and what follows the last record. Each removed submission takes out one
// equal record. The rewrite is atomic and keeps the file's permissions; a file left with nothing
// is deleted. False, leaving the file as it was, when the lock cannot be had or the file cannot be
// read or written.
bool RemoveSubmissions(const QString& path, const QList<CSubmission>& removed, QString* problem = nullptr);

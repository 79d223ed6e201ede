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
    qint32 file_id = -1;
    QString file_name; // the reviewed file's name as the site recorded it

    bool operator==(const CSubmission&) const = default;
};

// "<web root>reviews/submissions.txt", under g_szHttpPath.
QString SubmissionsFilePath();

// The records of the file, in file order; none when it is absent or unreadable. Lines after the
// last record's TAB line belong to no record.
void ReadSubmissions(const QString& path, QList<CSubmission>& submissions);

// The bytes of one record as the file holds it (CR LF line ends, TAB line last).
QByteArray FormatSubmission(const CSubmission& submission);

// Replaces the file with these records, in list order, in one atomic step; an empty list deletes it.
// False when it could not be written.
bool WriteSubmissions(const QString& path, const QList<CSubmission>& submissions);

// Takes the submissions that were posted or deleted out of the file, under the lock, keeping every
// other record byte for byte: those the site appended since the file was read, and the rest of a
// file too large to read at once, included. Each removed submission takes out one equal record.
// The rewrite is atomic and keeps the file's permissions; a file left without records is deleted.
// False, leaving the file as it was, when the lock cannot be had or the file cannot be written.
bool RemoveSubmissions(const QString& path, const QList<CSubmission>& removed);

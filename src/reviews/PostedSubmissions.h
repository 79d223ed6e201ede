#pragma once

#include "reviews/Submissions.h"

#include <QList>
#include <QString>

// Notes of submissions that were posted but may still be in the submissions file: the rewrite that
// takes them out failed (the site held its lock, the disk was full), or the explorer ended before
// it was made. A scan leaves noted submissions out of its list, so that nobody posts one a second
// time, and takes them out of the file when its dialog is left.
//
// The notes are kept in "posted-reviews.txt" in the database directory, where every explorer of
// the library finds them, after a restart too: one line for each posted submission's content (a
// SHA-256 digest of its fields; equal submissions counted), never its place in the file. A note is
// dropped once the submission is out of the file, so the notes never grow beyond what the file
// holds. Each change is made under the lock "posted-reviews.txt.lock" on a fresh read.

// "<database directory>/posted-reviews.txt".
QString PostedNotesFilePath();

// Notes the submissions as posted, one note for each. False, *problem naming the file, when the
// notes could not be written.
bool NotePosted(const QList<CSubmission>& posted, QString* problem = nullptr);

// Drops one note for each of the submissions, which are out of the file now.
bool DropPostedNotes(const QList<CSubmission>& removed, QString* problem = nullptr);

// Moves from submissions, as read from the file, to *posted those that are noted as posted, one
// for each note. Notes of submissions the file no longer holds are dropped. False, the list as it
// was and *problem naming the file, when the notes could not be read.
bool TakeNotedPosts(QList<CSubmission>& submissions, QList<CSubmission>* posted, QString* problem = nullptr);

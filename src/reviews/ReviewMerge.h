#pragma once

#include "reviews/ReviewFile.h"

// The reviews of one file as the Reviews page edits them: the records as they were read from the
// file, and the page's list, each entry of which remembers the record it came from. That is what
// lets the page's changes be applied to the file as it is when they are written, rather than
// writing the list over records the site added meanwhile.
class CReviewList
{
public:
    // Starts over from the records read from the file, none of them changed.
    void Reset(const QList<CReview>& read);

    const QList<CReview>& Reviews() const { return m_reviews; }
    void Append(const CReview& review);
    void Replace(int row, const CReview& review);
    void RemoveAt(int row);

    // The record of the file that the row came from; -1 when it was added.
    int OriginOf(int row) const { return m_origins[row]; }
    const QList<CReview>& Read() const { return m_read; }

private:
    QList<CReview> m_read;
    QList<CReview> m_reviews;
    QList<int> m_origins; // one for each of m_reviews
};

// The bytes of a review file with the list's changes applied. Each record the list was read from
// is found again among the file's records (equal records in their order); an edited one is written
// in its place, a deleted one is left out, and one that is unchanged keeps its bytes. Added
// records come after the file's records. Every other byte stays as it was: records the site added
// since the list was read, and the lines after the last record. data is the whole file.
QByteArray MergeReviews(const QByteArray& data, const CReviewList& list);

// Writes the list's changes into the review file as MergeReviews does, under the site's lock, the
// file read again under it. *written receives the reviews the file then holds. False, the file as
// it was and *problem saying why, when it cannot be read whole or written.
bool UpdateReviewFile(const QString& path, const CReviewList& list, QList<CReview>* written,
                      QString* problem);

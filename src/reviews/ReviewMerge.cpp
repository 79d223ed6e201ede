#include "reviews/ReviewMerge.h"

#include "reviews/SiteRecordFile.h"

#include <QHash>

namespace {

// Adds a record the explorer formatted. A last line without its line end (a TAB line at the end
// of the file) would swallow the record's first line.
void AddFormatted(QByteArray& bytes, const CReview& review)
{
    if (!bytes.isEmpty() && !bytes.endsWith('\n') && !bytes.endsWith('\r'))
        bytes += "\r\n";
    bytes += FormatReviewRecord(review);
}

} // namespace

void CReviewList::Reset(const QList<CReview>& read)
{
    m_read = read;
    m_reviews = read;
    m_origins.resize(read.size());
    for (qsizetype i = 0; i < m_origins.size(); ++i)
        m_origins[i] = int(i);
}

void CReviewList::Append(const CReview& review)
{
    m_reviews.append(review);
    m_origins.append(-1);
}

void CReviewList::Replace(int row, const CReview& review)
{
    m_reviews[row] = review;
}

void CReviewList::RemoveAt(int row)
{
    m_reviews.removeAt(row);
    m_origins.removeAt(row);
}

QByteArray MergeReviews(const QByteArray& data, const CReviewList& list)
{
    const QList<CReview>& read = list.Read();
    const QList<CReview>& reviews = list.Reviews();
    QList<int> rowOf(read.size(), -1); // -1: deleted
    for (int row = 0; row < reviews.size(); ++row) {
        if (list.OriginOf(row) >= 0)
            rowOf[list.OriginOf(row)] = row;
    }
    // The records read, by value, each value's in file order: a hostile file of many equal
    // records must not cost a search of the whole list for each.
    QHash<CReview, QList<int>> unmatched;
    for (int i = 0; i < read.size(); ++i)
        unmatched[read[i]].append(i);

    const SiteRecords file = SplitRecords(data, true);
    QList<bool> found(read.size(), false);
    QByteArray merged;
    for (const SiteRecords::Record& record : file.records) {
        const QByteArray bytes = data.mid(record.start, record.end - record.start);
        const CReview review = ReviewFromLines(record.lines);
        const auto match = unmatched.find(review);
        if (match == unmatched.end() || match->isEmpty()) {
            merged += bytes; // added by the site since
            continue;
        }
        const int origin = match->takeFirst();
        found[origin] = true;
        const int row = rowOf[origin];
        if (row < 0)
            continue;
        if (reviews[row] == review)
            merged += bytes;
        else
            AddFormatted(merged, reviews[row]);
    }
    for (int row = 0; row < reviews.size(); ++row) {
        // Added on the page, or edited there while someone else took the record out of the file:
        // the administrator's edit is not lost.
        const int origin = list.OriginOf(row);
        if (origin < 0 || (!found[origin] && reviews[row] != read[origin]))
            AddFormatted(merged, reviews[row]);
    }
    return merged + data.mid(file.end);
}

bool UpdateReviewFile(const QString& path, const CReviewList& list, QList<CReview>* written, QString* problem)
{
    CSiteRecordFile file(path);
    if (!file.Lock() || !file.ReadWhole())
        return file.Failed(problem);
    const QByteArray merged = MergeReviews(file.Data(), list);
    if (merged != file.Data() && !file.Replace(merged))
        return file.Failed(problem);
    *written = ReviewsIn(merged);
    return true;
}

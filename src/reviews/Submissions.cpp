#include "reviews/Submissions.h"

#include "files/SafeFormat.h"
#include "reviews/SiteRecordFile.h"
#include "settings/Globals.h"

#include <QHash>

#include <cstdlib>

namespace {

// The number at the line's start as atol reads it, in 64 bits: blanks and a sign first, digits up
// to the first other character, 0 without any, and the nearest bound for a number beyond them.
qint64 LeadingNumber(const QString& line)
{
    return std::strtoll(line.toUtf8().constData(), nullptr, 10);
}

// The file's id and name, then the lines of a review.
CSubmission SubmissionFromLines(const QStringList& lines)
{
    CSubmission submission;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i == 0)
            submission.file_id = LeadingNumber(lines[i]);
        else if (i == 1)
            submission.file_name = lines[i];
        else
            SetReviewLine(submission, int(qMin<qsizetype>(i - 2, 4)), lines[i]);
    }
    return submission;
}

} // namespace

QString SubmissionsFilePath()
{
    return SafeFormat(u"%sreviews/submissions.txt", g_szHttpPath);
}

bool ReadSubmissions(const QString& path, QList<CSubmission>& submissions, QString* problem)
{
    submissions.clear();
    CSiteRecordFile file(path);
    // Under the site's lock, so that a record being appended is never read half-written. A lock
    // that cannot be had does not keep the administrator from reading.
    file.Lock();
    if (!file.Read())
        return file.Failed(problem);
    for (const SiteRecords::Record& record : SplitRecords(file.Data(), file.IsWhole()).records)
        submissions.append(SubmissionFromLines(record.lines));
    return true;
}

QByteArray FormatSubmission(const CSubmission& submission)
{
    return QByteArray::number(submission.file_id) + "\r\n" + ReviewFileLine(submission.file_name) + "\r\n" +
           FormatReviewRecord(submission);
}

bool WriteSubmissions(const QString& path, const QList<CSubmission>& submissions, QString* problem)
{
    QByteArray data;
    for (const CSubmission& submission : submissions)
        data += FormatSubmission(submission);
    CSiteRecordFile file(path);
    return (file.Lock() && file.Replace(data)) || file.Failed(problem);
}

bool RemoveSubmissions(const QString& path, const QList<CSubmission>& removed, QString* problem)
{
    if (removed.isEmpty())
        return true;
    CSiteRecordFile file(path);
    if (!file.Lock() || !file.Read())
        return file.Failed(problem);
    QHash<CSubmission, int> toRemove;
    for (const CSubmission& submission : removed)
        ++toRemove[submission];

    // Of a file larger than what is read at once, the records in that part; everything after the
    // last of them, read or not, is kept as it is.
    const QByteArray& data = file.Data();
    const SiteRecords split = SplitRecords(data, file.IsWhole());
    QByteArray kept;
    bool changed = false;
    for (const SiteRecords::Record& record : split.records) {
        const auto match = toRemove.find(SubmissionFromLines(record.lines));
        if (match != toRemove.end() && *match > 0) {
            --*match;
            changed = true;
            continue;
        }
        kept += data.mid(record.start, record.end - record.start);
    }
    if (!changed)
        return true; // none of them is in the file any more
    kept += data.mid(split.end);
    return file.Replace(kept) || file.Failed(problem);
}

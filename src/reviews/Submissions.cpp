#include "reviews/Submissions.h"

#include "adding/SiteTextLines.h"
#include "startup/CLockFile.h"
#include "startup/Globals.h"
#include "startup/SafeFormat.h"

#include <QFile>
#include <QSaveFile>
#include <QScopeGuard>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The file's records, and where each lies in the bytes read.
struct ParsedSubmissions
{
    QList<CSubmission> records;
    QList<std::pair<qsizetype, qsizetype>> spans; // start and end of each record
    qsizetype end = 0;                            // where the last record ends
};

// The number at the line's start as atol reads it: blanks and a sign first, digits up to the first
// other character, 0 without any; held to the 32 bits the id has.
qint32 LeadingNumber(const QString& line)
{
    qsizetype i = 0;
    while (i < line.size() && (line[i] == u' ' || line[i] == u'\t' || (line[i] >= u'\n' && line[i] <= u'\r')))
        ++i;
    const bool negative = i < line.size() && line[i] == u'-';
    if (i < line.size() && (line[i] == u'-' || line[i] == u'+'))
        ++i;
    qint64 value = 0;
    for (; i < line.size() && line[i] >= u'0' && line[i] <= u'9'; ++i)
        value = qMin<qint64>(value * 10 + (line[i].unicode() - u'0'), qint64(1) << 32);
    return qint32(qBound(qint64(INT32_MIN), negative ? -value : value, qint64(INT32_MAX)));
}

ParsedSubmissions ParseSubmissions(const QByteArray& data)
{
    ParsedSubmissions parsed;
    QList<qsizetype> lineEnds;
    const QStringList lines = SplitSiteTextLines(data, kMaxReviewLineBytes, &lineEnds);
    CSubmission record;
    int lineNumber = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.startsWith(u'\t')) {
            parsed.records.append(record);
            parsed.spans.append({parsed.end, lineEnds[i]});
            parsed.end = lineEnds[i];
            record = CSubmission();
            lineNumber = 0;
            continue;
        }
        // The file's id and name, then the lines of a review.
        if (lineNumber == 0)
            record.file_id = LeadingNumber(line);
        else if (lineNumber == 1)
            record.file_name = line;
        else
            SetReviewLine(record, lineNumber - 2, line);
        lineNumber = qMin(lineNumber + 1, 6);
    }
    return parsed;
}

bool WriteAll(QSaveFile& file, const QByteArray& data)
{
    return file.write(data) == data.size();
}

} // namespace

QString SubmissionsFilePath()
{
    return SafeFormat(u"%sreviews/submissions.txt", g_szHttpPath);
}

void ReadSubmissions(const QString& path, QList<CSubmission>& submissions)
{
    // Under the site's lock, so that a record being appended is never read half-written. A lock
    // that cannot be had does not keep the administrator from reading.
    const CLockFile lock(path);
    submissions = ParseSubmissions(ReadSiteTextFile(path, kMaxReviewFileSize)).records;
}

QByteArray FormatSubmission(const CSubmission& submission)
{
    const QString head =
        SafeFormat(u"%ld\r\n", submission.file_id) + ReviewFileLine(submission.file_name) + u"\r\n"_s;
    return head.toUtf8() + FormatReviewRecord(submission);
}

bool WriteSubmissions(const QString& path, const QList<CSubmission>& submissions)
{
    const CLockFile lock(path);
    if (!lock.IsLocked())
        return false;
    if (submissions.isEmpty())
        return QFile::remove(path) || !QFile::exists(path);
    QByteArray data;
    for (const CSubmission& submission : submissions)
        data += FormatSubmission(submission);
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && WriteAll(file, data) && file.commit();
}

bool RemoveSubmissions(const QString& path, const QList<CSubmission>& removed)
{
    if (removed.isEmpty())
        return true;
    const CLockFile lock(path);
    if (!lock.IsLocked())
        return false;
    const int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0)
        return !QFile::exists(path); // gone already: nothing to take out
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });

    // What is read at once; the rest of a larger file is copied as it is.
    QFile in;
    if (!in.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return false;
    const QByteArray data = in.read(kMaxReviewFileSize);
    if (in.error() != QFileDevice::NoError)
        return false;
    const bool whole = in.atEnd();

    const ParsedSubmissions parsed = ParseSubmissions(data);
    QList<CSubmission> toRemove = removed;
    QByteArray kept;
    for (qsizetype i = 0; i < parsed.records.size(); ++i) {
        const qsizetype match = toRemove.indexOf(parsed.records[i]);
        if (match >= 0)
            toRemove.removeAt(match);
        else
            kept += data.mid(parsed.spans[i].first, parsed.spans[i].second - parsed.spans[i].first);
    }
    if (toRemove.size() == removed.size())
        return true; // none of them is in the file any more
    // Bytes after the last record: one the site has not finished, which must not be lost either.
    kept += data.mid(parsed.end);
    if (kept.isEmpty() && whole)
        return QFile::remove(path) || !QFile::exists(path);

    // Written beside the old file and renamed over it: the site never reads half a file, and a
    // failure leaves the old one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !WriteAll(file, kept))
        return false;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(65536);
        if (chunk.isEmpty() || !WriteAll(file, chunk))
            return false;
    }
    return file.commit();
}

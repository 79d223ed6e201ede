#include "reviews/ReviewFile.h"

#include "files/SafeFormat.h"
#include "files/SiteTextLines.h"
#include "reviews/SiteRecordFile.h"
#include "settings/Globals.h"

static_assert(kMaxReviewFileSize == CSiteRecordFile::kReadLimit);

namespace {

// What fputs writes of a text: up to its first NUL.
QString UpToNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

bool IsContinuation(char byte)
{
    return (uchar(byte) & 0xC0) == 0x80;
}

// Where a line of UTF-8 from pos must end to hold at most kMaxWrittenLineBytes: before the
// character that would not fit.
qsizetype FittingEnd(const QByteArray& utf8, qsizetype pos)
{
    qsizetype end = pos + kMaxWrittenLineBytes;
    if (end >= utf8.size())
        return utf8.size();
    while (end > pos && IsContinuation(utf8[end]))
        --end;
    return end;
}

// Where a text line too long for the readers is wrapped: after a space in the second half of the
// room, else between characters, and never before a TAB, which would begin the next line and so
// end the record there.
qsizetype WrapPoint(const QByteArray& utf8, qsizetype pos)
{
    qsizetype end = FittingEnd(utf8, pos);
    const qsizetype space = utf8.lastIndexOf(' ', end - 1);
    if (space >= pos + kMaxWrittenLineBytes / 2)
        end = space + 1;
    for (qsizetype at = end; at > pos; --at) {
        if (!IsContinuation(utf8[at]) && utf8[at] != '\t')
            return at;
    }
    return end; // nothing but TABs: the next line's first one becomes a space
}

// The review text as lines of the file. Its CRs are dropped, so that its line breaks become the
// file's line ends; an empty text has no line at all. A line too long for the readers' pieces is
// wrapped rather than cut: the text's lines are free, so a wrapped line reads back as the same
// words with one more line break, where a cut would lose them.
QByteArray FormatText(const QString& text)
{
    const QString clean = UpToNul(text).remove(u'\r');
    QByteArray lines;
    if (clean.isEmpty())
        return lines;
    for (const QStringView line : QStringView(clean).split(u'\n')) {
        const QByteArray utf8 = line.toUtf8();
        qsizetype pos = 0;
        do {
            const qsizetype end =
                utf8.size() - pos > kMaxWrittenLineBytes ? WrapPoint(utf8, pos) : utf8.size();
            QByteArray piece = utf8.mid(pos, end - pos);
            if (piece.startsWith('\t'))
                piece[0] = ' ';
            lines += piece + "\r\n";
            pos = end;
        } while (pos < utf8.size());
    }
    return lines;
}

} // namespace

QString ReviewFilePath(qint64 fileId)
{
    return ReviewFilePath(g_szHttpPath, fileId);
}

QString ReviewFilePath(const QString& webRoot, qint64 fileId)
{
    return SafeFormat(u"%sreviews/%lld.txt", webRoot, fileId);
}

SiteRecords SplitRecords(const QByteArray& data, bool whole)
{
    qsizetype usable = data.size();
    if (!whole) {
        // Only lines whose line end surely lies in what was read: the last line may go on past it,
        // and a CR at the very end may be the first half of a CR LF (or of a CR CR LF).
        qsizetype end = data.size();
        for (int i = 0; i < 2 && end > 0 && data[end - 1] == '\r'; ++i)
            --end;
        usable = end > 0 ? qMax(data.lastIndexOf('\r', end - 1), data.lastIndexOf('\n', end - 1)) + 1 : 0;
    }
    SiteRecords split;
    QList<qsizetype> lineEnds;
    const QStringList lines = SplitSiteTextLines(data.left(usable), kMaxReviewLineBytes, &lineEnds);
    SiteRecords::Record record;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines[i].startsWith(u'\t')) {
            record.lines.append(lines[i]);
            continue;
        }
        record.start = split.end;
        record.end = split.end = lineEnds[i];
        split.records.append(std::move(record));
        record = SiteRecords::Record();
    }
    return split;
}

void SetReviewLine(CReview& review, int lineNumber, const QString& line)
{
    switch (lineNumber) {
    case 0:
        review.name = line;
        break;
    case 1:
        review.email = line;
        break;
    case 2:
        review.anonymous = line.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
        break;
    case 3:
        review.date = line;
        break;
    default:
        if (!review.text.isEmpty())
            review.text += QLatin1String("\r\n");
        review.text += line;
        break;
    }
}

CReview ReviewFromLines(const QStringList& lines)
{
    CReview review;
    for (qsizetype i = 0; i < lines.size(); ++i)
        SetReviewLine(review, int(qMin<qsizetype>(i, 4)), lines[i]);
    return review;
}

QList<CReview> ReviewsIn(const QByteArray& data, bool whole)
{
    QList<CReview> reviews;
    for (const SiteRecords::Record& record : SplitRecords(data, whole).records)
        reviews.append(ReviewFromLines(record.lines));
    return reviews;
}

QByteArray ReviewFileLine(const QString& field)
{
    QString line = UpToNul(field);
    for (QChar& c : line) {
        if (c == u'\r' || c == u'\n')
            c = u' ';
    }
    if (line.startsWith(u'\t'))
        line[0] = u' ';
    QByteArray utf8 = line.toUtf8();
    utf8.truncate(FittingEnd(utf8, 0));
    return utf8;
}

QByteArray FormatReviewRecord(const CReview& review)
{
    return ReviewFileLine(review.name) + "\r\n" + ReviewFileLine(review.email) + "\r\n" +
           (review.anonymous ? "true\r\n" : "false\r\n") + ReviewFileLine(review.date) + "\r\n" +
           FormatText(review.text) + "\t\r\n";
}

bool ReadReviewFile(const QString& path, QList<CReview>& reviews, QString* problem)
{
    reviews.clear();
    // Without the lock: only records whose TAB line was read count, so one being appended is never
    // taken half, and a lock file is made only beside review files that are written.
    CSiteRecordFile file(path);
    const bool read = file.ReadWhole() || file.Failed(problem);
    // What was read gives its records even when it is only the beginning of a large file.
    reviews = ReviewsIn(file.Data(), file.IsWhole());
    return read;
}

bool WriteReviewFile(const QString& path, const QList<CReview>& reviews, QString* problem)
{
    QByteArray data;
    for (const CReview& review : reviews)
        data += FormatReviewRecord(review);
    CSiteRecordFile file(path);
    return (file.Lock() && file.Replace(data)) || file.Failed(problem);
}

bool AppendReviewToFile(const QString& path, const CReview& review, QString* problem)
{
    CSiteRecordFile file(path);
    return (file.Lock() && file.Append(FormatReviewRecord(review))) || file.Failed(problem);
}

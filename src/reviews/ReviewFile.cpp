#include "reviews/ReviewFile.h"

#include "adding/SiteTextLines.h"

#include "startup/Globals.h"
#include "startup/SafeFormat.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
void FlushRecord(QList<CReview>& reviews, CReview& record, int& lineNumber)
{
    reviews.append(record);
    record = CReview();
    lineNumber = 0;
}

// What fputs writes of a text: up to its first NUL.
QString UpToNul(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

} // namespace

QString ReviewFilePath(qint32 fileId)
{
    return ReviewFilePath(g_szHttpPath, fileId);
}

QString ReviewFilePath(const QString& webRoot, qint32 fileId)
{
    return SafeFormat(u"%sreviews/%ld.txt", webRoot, fileId);
}

QStringList ReadReviewLines(const QString& path, bool* complete)
{
    return ReadSiteTextLines(path, kMaxReviewLineBytes, kMaxReviewFileSize, complete);
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

bool ReadReviewFile(const QString& path, QList<CReview>& reviews)
{
    reviews.clear();
    bool complete = true;
    const QStringList lines = ReadReviewLines(path, &complete);
    CReview record;
    int lineNumber = 0;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1Char('\t'))) {
            FlushRecord(reviews, record, lineNumber);
            continue;
        }
        SetReviewLine(record, lineNumber, line);
        lineNumber = qMin(lineNumber + 1, 4);
    }
    // Lines after the last TAB line belong to no finished record.
    return complete;
}

QString ReviewFileLine(const QString& field)
{
    QString line = UpToNul(field);
    for (QChar& c : line) {
        if (c == u'\r' || c == u'\n' || c == u'\t')
            c = u' ';
    }
    return line;
}

QByteArray FormatReviewRecord(const CReview& review)
{
    QString record = ReviewFileLine(review.name) + QLatin1Char('\n') + ReviewFileLine(review.email) +
                     QLatin1Char('\n') +
                     (review.anonymous ? QLatin1String("true\n") : QLatin1String("false\n")) +
                     ReviewFileLine(review.date) + QLatin1Char('\n');
    // The text's own line breaks become the file's line ends; an empty text has no line at all.
    // A TAB would end the record wherever a line, or a piece of a long one, began with it.
    const QString text =
        UpToNul(review.text).remove(QLatin1Char('\r')).replace(QLatin1Char('\t'), QLatin1Char(' '));
    if (!text.isEmpty())
        record += text + QLatin1Char('\n');
    record += QLatin1String("\t\n");
    return record.toUtf8().replace("\n", "\r\n");
}

bool WriteReviewFile(const QString& path, const QList<CReview>& reviews)
{
    if (reviews.isEmpty())
        return QFile::remove(path) || !QFile::exists(path);
    QByteArray data;
    for (const CReview& review : reviews)
        data += FormatReviewRecord(review);
    // Written beside the old file and renamed over it: the site never reads half a file.
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.commit();
}

bool AppendReviewToFile(const QString& path, const CReview& review)
{
    QByteArray record = FormatReviewRecord(review);
    // A file whose last line has no line end would swallow the record's first line into it.
    if (const int fd = OpenRegularFile(path, O_RDONLY); fd >= 0) {
        struct stat st;
        char last = '\n';
        if (::fstat(fd, &st) == 0 && st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) == 1 &&
            last != '\n')
            record.prepend("\r\n");
        ::close(fd);
    }
    const int fd = OpenRegularFile(path, O_WRONLY | O_APPEND | O_CREAT);
    if (fd < 0)
        return false;
    // One write, so that a reader or another appender never sees the record in pieces.
    qsizetype done = 0;
    while (done < record.size()) {
        const ssize_t n = ::write(fd, record.constData() + done, size_t(record.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    const bool closed = ::close(fd) == 0;
    return done == record.size() && closed;
}

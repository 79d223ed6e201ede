#include "files/SiteTextLines.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// At most limit bytes of the file; complete tells whether that was all of it.
QByteArray ReadBounded(int fd, qint64 limit, bool* complete)
{
    QByteArray data;
    char buffer[65536];
    *complete = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        if (data.size() + n > limit) {
            data.append(buffer, qsizetype(limit - data.size()));
            *complete = false;
            break;
        }
        data.append(buffer, n);
    }
    return data;
}

// Windows-1252 for the bytes 0x80 to 0x9F; its five unassigned bytes keep their C1 code points.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The length of the well-formed UTF-8 sequence at p (at most end), or 0 when there is none.
int Utf8SequenceLength(const uchar* p, const uchar* end)
{
    const uchar b = p[0];
    if (b < 0x80)
        return 1;
    int length = 0;
    uchar low = 0x80, high = 0xBF; // the second byte's range
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        if (b == 0xE0)
            low = 0xA0; // overlong
        else if (b == 0xED)
            high = 0x9F; // surrogates
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        if (b == 0xF0)
            low = 0x90;
        else if (b == 0xF4)
            high = 0x8F; // beyond U+10FFFF
    } else {
        return 0;
    }
    if (end - p < length || p[1] < low || p[1] > high)
        return 0;
    for (int i = 2; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

// UTF-8, with every byte that is not part of a well-formed sequence taken as Windows-1252, so that
// reviews written in the site's old code page keep their accented letters.
QString DecodeLine(const char* data, qsizetype size)
{
    QString line;
    line.reserve(size);
    const auto* p = reinterpret_cast<const uchar*>(data);
    const uchar* end = p + size;
    while (p < end) {
        const int length = Utf8SequenceLength(p, end);
        if (length == 1) {
            line.append(QChar(p[0]));
        } else if (length > 1) {
            line.append(QString::fromUtf8(reinterpret_cast<const char*>(p), length));
        } else {
            line.append(p[0] >= 0x80 && p[0] <= 0x9F ? QChar(kCp1252High[p[0] - 0x80]) : QChar(p[0]));
            ++p;
            continue;
        }
        p += length;
    }
    return line;
}

// Where a piece of at most the piece length from start must end so that it does not cut a
// multi-byte sequence: before the sequence's first byte.
qsizetype PieceEnd(const QByteArray& data, qsizetype start, qsizetype end)
{
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    for (qsizetype i = end - 1; i >= start && i >= end - 3; --i) {
        if ((p[i] & 0xC0) == 0x80)
            continue; // a continuation byte: look further back for its first byte
        const int length = p[i] >= 0xF0 ? 4 : p[i] >= 0xE0 ? 3 : p[i] >= 0xC0 ? 2 : 1;
        if (i + length > end && i > start)
            return i;
        break;
    }
    return end;
}

} // namespace

int OpenRegularFile(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

QStringList SplitSiteTextLines(QByteArray data, int maxPieceBytes, QList<qsizetype>* rawLineEnds)
{
    if (rawLineEnds)
        rawLineEnds->clear();
    maxPieceBytes = qMax(maxPieceBytes, 4); // room for any UTF-8 sequence
    const char* bytes = data.constData();

    QStringList lines;
    qsizetype pos = 0;
    while (pos < data.size()) {
        // A line ends at CR LF, at LF, or at a CR alone (old Macintosh files). CR CR LF is one line
        // end too: a CR LF that passed through a text-mode writer. A line and its line end must fit
        // in a piece, as in the readers' buffer; a longer line is cut into pieces.
        const qsizetype limit = qMin(data.size(), pos + maxPieceBytes);
        qsizetype lineEnd = pos;
        while (lineEnd < limit && bytes[lineEnd] != '\n' && bytes[lineEnd] != '\r')
            ++lineEnd;
        qsizetype length = lineEnd - pos;
        qsizetype end = lineEnd;
        if (lineEnd < limit) {
            end = lineEnd + 1;
            if (bytes[lineEnd] == '\r' && end < data.size() && bytes[end] == '\n')
                end += 1;
            else if (bytes[lineEnd] == '\r' && end + 1 < data.size() && bytes[end] == '\r' &&
                     bytes[end + 1] == '\n')
                end += 2;
        } else if (limit < data.size()) {
            end = PieceEnd(data, pos, limit); // never inside a UTF-8 sequence
            length = end - pos;
        } // else the last line of the text, without a line end
        if (const void* nul = std::memchr(bytes + pos, '\0', size_t(length)))
            length = static_cast<const char*>(nul) - (bytes + pos);
        lines.append(DecodeLine(bytes + pos, length));
        if (rawLineEnds)
            rawLineEnds->append(end);
        pos = end;
    }
    return lines;
}

QByteArray ReadSiteTextFile(const QString& path, qint64 maxFileBytes, bool* complete, int openFlags)
{
    bool whole = true;
    QByteArray data;
    if (const int fd = OpenRegularFile(path, O_RDONLY | openFlags); fd >= 0) {
        data = ReadBounded(fd, maxFileBytes, &whole);
        ::close(fd);
    }
    if (complete)
        *complete = whole;
    return data;
}

QStringList ReadSiteTextLines(const QString& path, int maxPieceBytes, qint64 maxFileBytes, bool* complete,
                              int openFlags)
{
    return SplitSiteTextLines(ReadSiteTextFile(path, maxFileBytes, complete, openFlags), maxPieceBytes);
}

#include "adding/SiteTextLines.h"

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
    // The site's readers open the file in text mode, where each CR LF pair is one line end. Where
    // the CRs were taken out is kept, to tell where each line ends in the file.
    QList<qsizetype> removedCrs; // positions in the text after the removal
    if (rawLineEnds) {
        for (qsizetype from = 0; (from = data.indexOf("\r\n", from)) >= 0; from += 2)
            removedCrs.append(from - removedCrs.size());
        rawLineEnds->clear();
    }
    data.replace("\r\n", "\n");
    maxPieceBytes = qMax(maxPieceBytes, 4); // room for any UTF-8 sequence

    QStringList lines;
    qsizetype pos = 0;
    qsizetype crsBefore = 0; // removed CRs before pos
    while (pos < data.size()) {
        const qsizetype limit = qMin(data.size(), pos + maxPieceBytes);
        const char* newline =
            static_cast<const char*>(std::memchr(data.constData() + pos, '\n', size_t(limit - pos)));
        // A line that goes on past the limit is cut there; the last line of the file may be whole.
        const qsizetype end = newline               ? newline - data.constData() + 1
                              : limit < data.size() ? PieceEnd(data, pos, limit)
                                                    : limit;
        qsizetype length = end - pos;
        if (const void* nul = std::memchr(data.constData() + pos, '\0', size_t(length)))
            length = static_cast<const char*>(nul) - (data.constData() + pos);
        if (length > 0 && data[pos + length - 1] == '\n')
            --length;
        if (length > 0 && data[pos + length - 1] == '\r')
            --length;
        lines.append(DecodeLine(data.constData() + pos, length));
        pos = end;
        if (rawLineEnds) {
            // A CR taken out before a line feed at end - 1 belongs to this line.
            while (crsBefore < removedCrs.size() && removedCrs[crsBefore] < end)
                ++crsBefore;
            rawLineEnds->append(end + crsBefore);
        }
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

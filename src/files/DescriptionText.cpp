#include "files/DescriptionText.h"

#include "files/CodePoints.h"
#include "files/PathUtils.h"

#include <QUtf8StringView>

#include <cerrno>
#include <iconv.h>

namespace {

constexpr char kCtrlZ = '\x1a';

// Bytes at the end that start a UTF-8 sequence they do not complete.
qsizetype IncompleteUtf8Tail(const QByteArray& bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const uchar c = uchar(bytes[size - back]);
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte: its lead byte is further back
        const qsizetype needed = (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
        return needed > back ? back : 0;
    }
    return 0;
}

QString FromCodePage437(const QByteArray& bytes)
{
    iconv_t converter = iconv_open("UTF-8", "CP437");
    if (converter == iconv_t(-1))
        return QString::fromLatin1(bytes); // no conversion module: keep the ASCII readable at least
    // One code page 437 byte is at most three bytes of UTF-8.
    QByteArray output(bytes.size() * 3 + 4, Qt::Uninitialized);
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = size_t(bytes.size());
    char* out = output.data();
    size_t outLeft = size_t(output.size());
    while (inLeft > 0) {
        if (iconv(converter, &in, &inLeft, &out, &outLeft) != size_t(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        ++in; // a byte without a mapping is left out
        --inLeft;
    }
    iconv_close(converter);
    output.truncate(out - output.constData());
    return QString::fromUtf8(output);
}

// The text before the first NUL: the C string a line buffer held.
QStringView UpToNul(QStringView text)
{
    const qsizetype nul = text.indexOf(QChar(0));
    return nul < 0 ? text : text.left(nul);
}


} // namespace

QString DecodeDescriptionText(const QByteArray& bytes, bool cut)
{
    QByteArray text = bytes;
    const qsizetype end = text.indexOf(kCtrlZ);
    if (end >= 0)
        text.truncate(end);
    else if (cut)
        text.chop(IncompleteUtf8Tail(text));
    text.replace("\r\n", "\n");
    if (QUtf8StringView(text).isValidUtf8()) {
        // Editors of today put a byte order mark before UTF-8 text; it is no part of the description.
        if (text.startsWith("\xef\xbb\xbf"))
            text.remove(0, 3);
        return QString::fromUtf8(text);
    }
    // The broken tail was only dropped for UTF-8; code page 437 has no broken characters.
    if (end < 0 && cut) {
        text = bytes;
        text.replace("\r\n", "\n");
    }
    return FromCodePage437(text);
}

bool ReadBriefLine(const QString& text, int briefSize, QString& brief)
{
    if (text.isEmpty() || briefSize <= 1)
        return false;
    const qsizetype lineFeed = text.indexOf(QLatin1Char('\n'));
    QString line = SafeStrCopy(QStringView(text).left(lineFeed < 0 ? text.size() : lineFeed + 1), briefSize);
    if (line.endsWith(QLatin1Char('\n')))
        line.chop(1);
    brief = UpToNul(line).toString();
    return true;
}

QString BuildDetailedText(const QString& text, int detailedSize)
{
    if (detailedSize <= 1)
        return QString();
    const qsizetype limit = detailedSize - 1;
    QByteArray result;
    const QStringView all(text);
    qsizetype lineStart = 0;
    while (lineStart < all.size() && result.size() < limit) {
        qsizetype lineEnd = all.indexOf(QLatin1Char('\n'), lineStart);
        if (lineEnd < 0)
            lineEnd = all.size();
        // An empty line is one empty piece; a longer one gives a piece per 78 characters.
        qsizetype pieceStart = lineStart;
        do {
            const qsizetype pieceEnd =
                qMin(AdvanceCodePoints(all, pieceStart, kDescriptionPieceLength), lineEnd);
            QStringView piece = UpToNul(all.mid(pieceStart, pieceEnd - pieceStart));
            while (piece.endsWith(QLatin1Char(' ')))
                piece.chop(1);
            QByteArray bytes = piece.toUtf8();
            bytes += "\r\n";
            if (result.size() + bytes.size() > limit) {
                // Only what fits, and no character cut in half.
                qsizetype fit = limit - result.size();
                while (fit > 0 && (uchar(bytes[fit]) & 0xC0) == 0x80)
                    --fit;
                result += bytes.left(fit);
                return QString::fromUtf8(result);
            }
            result += bytes;
            pieceStart = pieceEnd;
        } while (pieceStart < lineEnd);
        lineStart = lineEnd + 1;
    }
    return QString::fromUtf8(result);
}

QString BriefFromDetailed(const QString& detailed, int briefSize)
{
    const qsizetype cr = detailed.indexOf(QLatin1Char('\r'));
    return SafeStrCopy(QStringView(detailed).left(cr < 0 ? detailed.size() : cr), briefSize);
}

QString WithLineFeeds(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

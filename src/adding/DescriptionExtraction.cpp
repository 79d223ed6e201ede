#include "adding/DescriptionExtraction.h"

#include "adding/download/LocalLocation.h"
#include "files/DescriptionText.h"
#include "files/UnzipMembers.h"
#include "settings/Globals.h"
#include "settings/Registry.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kDetailedMember = QStringLiteral("file_id.diz");
const QString kBriefMember = QStringLiteral("desc.sdi");

// The most bytes of a member that can still change the texts: a piece of 78 spaces and its CR LF
// (80 bytes) gives the two bytes CR LF, so 40 bytes of member per byte of text, and a margin.
qint64 MemberByteLimit(int briefSize, int detailedSize)
{
    return qint64(qMax(qMax(briefSize, detailedSize), 0)) * 40 + 4096;
}

// A member's text; bytes that reached the limit are only the member's start.
QString MemberText(const QByteArray& bytes, qint64 limit)
{
    return DecodeDescriptionText(bytes, bytes.size() >= limit);
}

} // namespace

bool IsZipFile(int fd)
{
    char signature[4];
    qsizetype got = 0;
    while (got < 4) {
        const ssize_t n = ::pread(fd, signature + got, size_t(4 - got), got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    return got == 4 && signature[0] == 'P' && signature[1] == 'K' &&
           ((signature[2] == 3 && signature[3] == 4) || (signature[2] == 5 && signature[3] == 6));
}

void ExtractDescriptions(int fd, QString& brief, int briefSize, QString& detailed, int detailedSize)
{
    if (!IsZipFile(fd))
        return;
    const qint64 limit = MemberByteLimit(briefSize, detailedSize);
    QList<std::optional<QByteArray>> members;
    if (UnzipMembers(fd, {kDetailedMember, kBriefMember}, limit, members) != 0)
        return;
    const std::optional<QByteArray>& detailedMember = members[0];
    const std::optional<QByteArray>& briefMember = members[1];

    // Whether the archive's texts replace those the caller filled in already.
    quint32 precedence = 0;
    RegReadDword(QStringLiteral("DIZSDIPrecedence"), &precedence, g_pszRegKey);

    if ((precedence != 0 || brief.isEmpty()) && briefMember)
        ReadBriefLine(MemberText(*briefMember, limit), briefSize, brief);
    if ((precedence != 0 || detailed.isEmpty()) && detailedMember)
        detailed = BuildDetailedText(MemberText(*detailedMember, limit), detailedSize);
    if (brief.isEmpty() && !detailed.isEmpty())
        brief = BriefFromDetailed(detailed, briefSize);
}

void ExtractDescriptions(const QString& path, QString& brief, int briefSize, QString& detailed,
                         int detailedSize)
{
    // A file in an area is opened through the area, a link there refused; the administrator's own
    // by its path. Either way only a regular file, and never a blocking open.
    const CSafeFile file = CAreaDirectories().OpenSource(path);
    if (file.IsOpen())
        ExtractDescriptions(file.Fd(), brief, briefSize, detailed, detailedSize);
}

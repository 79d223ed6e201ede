#include "adding/DescriptionExtraction.h"

#include "adding/download/LocalLocation.h"
#include "files/CTempDirectory.h"
#include "files/DescriptionText.h"
#include "files/PathUtils.h"
#include "files/UnzipMembers.h"
#include "settings/Globals.h"
#include "settings/Registry.h"

#include <QFile>

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

// The member's text when the file opens; false when it does not.
bool ReadMember(const QString& path, qint64 limit, QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.read(limit);
    text = DecodeDescriptionText(bytes, bytes.size() >= limit);
    return true;
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
    const CTempDirectory directory(QStringLiteral("flsexplore"));
    if (directory.GetPath().isEmpty())
        return;
    const qint64 limit = MemberByteLimit(briefSize, detailedSize);
    if (UnzipMembers(fd, {kDetailedMember, kBriefMember}, directory.GetPath(), limit) != 0)
        return;

    // Whether the archive's texts replace those the caller filled in already.
    quint32 precedence = 0;
    RegReadDword(QStringLiteral("DIZSDIPrecedence"), &precedence, g_pszRegKey);

    QString text;
    if ((precedence != 0 || brief.isEmpty()) &&
        ReadMember(MakePath(directory.GetPath(), kBriefMember), limit, text))
        ReadBriefLine(text, briefSize, brief);
    if ((precedence != 0 || detailed.isEmpty()) &&
        ReadMember(MakePath(directory.GetPath(), kDetailedMember), limit, text))
        detailed = BuildDetailedText(text, detailedSize);
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

#include "uploads/UploadScan.h"

#include "adding/DescriptionExtraction.h"
#include "adding/FileUtils.h"
#include "adding/LocalLocation.h"
#include "adding/PathUtils.h"
#include "adding/SiteTextLines.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "properties/FileProperties.h"
#include "startup/CFileAreaTable.h"
#include "startup/Globals.h"
#include "startup/Registry.h"
#include "viruscheck/VirusChecker.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kDescriptionExtension = QStringLiteral(".desc");

// The first count code points of the text: a value never ends in half a character.
QString LeftCharacters(const QString& text, int count)
{
    qsizetype end = 0;
    for (int taken = 0; end < text.size() && taken < count; ++taken)
        end += text[end].isHighSurrogate() && end + 1 < text.size() && text[end + 1].isLowSurrogate() ? 2 : 1;
    return text.left(end);
}

void SetHeaderField(CPendingUpload& upload, QStringView key, const QString& value)
{
    const struct
    {
        const char16_t* key;
        QString CPendingUpload::*field;
        int length;
    } fields[] = {
        {u"Filename", &CPendingUpload::file_name, CPendingUpload::kFileNameLength},
        {u"Title", &CPendingUpload::title, CPendingUpload::kTitleLength},
        {u"Version", &CPendingUpload::version, CPendingUpload::kVersionLength},
        {u"ShortDesc", &CPendingUpload::short_desc, CPendingUpload::kShortDescLength},
        {u"Company", &CPendingUpload::company, CPendingUpload::kCompanyLength},
        {u"Email", &CPendingUpload::email, CPendingUpload::kEmailLength},
    };
    for (const auto& field : fields) {
        if (key == QStringView(field.key)) {
            upload.*field.field = LeftCharacters(value, field.length);
            return;
        }
    }
    if (key == u"ReqForm")
        upload.requires_form = value.startsWith(u'Y') || value.startsWith(u'y') || value.startsWith(u'1');
}

// True when the path names something that is not a directory: a file, or a link to one. Nothing
// else is ever deleted.
bool IsDeletable(const QString& path)
{
    struct stat st;
    return !path.isEmpty() && ::lstat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// Deletes the entry when it lies directly in the directory: a link itself, never what it leads to.
void DeleteInDirectory(const QString& directory, const QString& path)
{
    const QFileInfo entry(path);
    const QString parent = QFileInfo(entry.absolutePath()).canonicalFilePath();
    const QString root = QFileInfo(directory.isEmpty() ? QStringLiteral(".") : directory).canonicalFilePath();
    if (!root.isEmpty() && parent == root && IsDeletable(path))
        ::unlink(QFile::encodeName(path).constData());
}

// Whether the upload beside a description file stays inside the area's directory (the current
// directory when the area has none), itself and wherever its links lead.
bool UploadStaysInside(const QString& areaDirectory, const QString& uploadName)
{
    return ResolveInDirectory(areaDirectory.isEmpty() ? QStringLiteral(".") : areaDirectory, uploadName).status ==
           LocalFile::Status::Inside;
}

} // namespace

void ParseUploadDescription(const QStringList& lines, CPendingUpload& upload)
{
    bool header = true;
    qsizetype room = CPendingUpload::kLongDescLength;
    QString body;
    for (const QString& line : lines) {
        if (header) {
            if (line.isEmpty()) {
                header = false;
                continue;
            }
            const qsizetype separator = line.indexOf(u": ");
            if (separator >= 0)
                SetHeaderField(upload, QStringView(line).left(separator), line.mid(separator + 2));
            continue;
        }
        QString piece = line;
        qsizetype end = piece.size();
        while (end > 0 && piece[end - 1] == u' ')
            --end;
        piece.truncate(end);
        piece += QLatin1String("\r\n");
        if (piece.size() > room) {
            piece.truncate(room);
            if (!piece.isEmpty() && piece.back().isHighSurrogate())
                piece.chop(1);
        }
        body += piece;
        room -= piece.size();
        if (room <= 0)
            break; // nothing more fits
    }
    if (header)
        return; // no empty line: no detailed description
    // A body that fills the room gives up its last character, as the record's limit leaves none.
    if (room <= 0 && !body.isEmpty())
        body.chop(body.back().isLowSurrogate() && body.size() > 1 ? 2 : 1);
    upload.long_desc = body;
}

QString FindAreaPath(double areaId)
{
    const FileAreaRecord* area = theFileAreaTable.FindArea(areaId);
    return area ? area->Path() : QString();
}

QString UploadFilePath(const CPendingUpload& upload)
{
    return MakePath(FindAreaPath(upload.area_id), upload.file_name);
}

QString UploadDescriptionPath(const CPendingUpload& upload)
{
    return MakePath(FindAreaPath(upload.area_id), upload.file_name, kDescriptionExtension);
}

QString CheckUploadFileName(const QString& areaDirectory, const QString& descriptionPath, const QString& fileName)
{
    const QString uploadName = GetFileNamePart(descriptionPath.chopped(kDescriptionExtension.size()));
    // The upload beside the description file is what the scan reads and what a post would offer
    // for download: a link of it that leads elsewhere would publish a file from outside the area.
    if (!uploadName.isEmpty() && !UploadStaysInside(areaDirectory, uploadName))
        return QObject::tr("Refused: the file is a link that leads out of the area's directory");
    if (fileName.isEmpty())
        return QString(); // an unknown name reaches nothing but the area's directory itself
    if (fileName.contains(u'/') || fileName.contains(u'\\') || fileName == u"." || fileName == u".." ||
        fileName.contains(QChar(0)))
        return QObject::tr("Refused: the file name is not a plain name in the area's directory");
    if (fileName != uploadName)
        return QObject::tr("Refused: the file name is not that of the file beside its description");
    return QString();
}

void ReadUploadDescription(quint32 areaId, const QString& descriptionPath, CPendingUploadArray& list,
                           const std::function<void()>& whileWaiting)
{
    if (!descriptionPath.endsWith(kDescriptionExtension))
        return;
    const QString uploadPath = descriptionPath.chopped(kDescriptionExtension.size());
    struct stat upload;
    if (::stat(QFile::encodeName(uploadPath).constData(), &upload) != 0 || S_ISDIR(upload.st_mode)) {
        // The upload is gone: its description is all that is left of it. A link is removed
        // itself; a directory of that name is no description file.
        if (IsDeletable(descriptionPath))
            ::unlink(QFile::encodeName(descriptionPath).constData());
        return;
    }
    // A description file that is a link is not read: it could show any file of the system.
    const int fd = OpenRegularFile(descriptionPath, O_RDONLY | O_NOFOLLOW);
    if (fd < 0)
        return;
    ::close(fd);

    CPendingUpload pending;
    ParseUploadDescription(ReadSiteTextLines(descriptionPath, kUploadLinePieceBytes, kMaxUploadDescriptionSize,
                                             nullptr, O_NOFOLLOW),
                           pending);
    pending.description_path = descriptionPath;
    pending.upload_path = uploadPath;
    pending.unsafe_reason = CheckUploadFileName(FindAreaPath(areaId), descriptionPath, pending.file_name);
    pending.file_date = pending.last_download = quint32(QDateTime::currentSecsSinceEpoch());

    // Only a regular file inside the area is read or checked: a FIFO would hang the checker, and a
    // link out of the area leads to files that are none of the upload's business.
    const bool readable =
        S_ISREG(upload.st_mode) && UploadStaysInside(FindAreaPath(areaId), GetFileNamePart(uploadPath));
    if (readable) {
        pending.file_size = GetFileSizeByName(uploadPath);
        quint32 precedence = 0;
        RegReadDword(QStringLiteral("DIZSDIPrecedence"), &precedence, g_pszRegKey);
        if (precedence != 0 || pending.short_desc.isEmpty() || pending.long_desc.isEmpty())
            ExtractDescriptions(uploadPath, pending.short_desc, CPendingUpload::kShortDescLength,
                                pending.long_desc, CPendingUpload::kLongDescLength);
    }
    pending.urls.append(FormLocalLocation(areaId, pending.file_name));
    pending.area_ids.append(areaId);
    if (readable)
        RunVirusChecker(uploadPath, nullptr, whileWaiting); // its verdict is the Virus Check command's
    pending.area_id = areaId;
    list.append(pending);
}

QStringList ListUploadDescriptions(const QString& directory)
{
    const QString prefix = CopyWithTrailingBackslash(directory);
    QDir dir(directory.isEmpty() ? QStringLiteral(".") : directory);
    QStringList names = dir.entryList({QStringLiteral("*.desc")}, QDir::Files | QDir::Hidden | QDir::System,
                                      QDir::NoSort);
    // Name order, so that every machine lists the uploads alike.
    names.sort();
    QStringList paths;
    for (const QString& name : std::as_const(names))
        paths.append(prefix + name);
    return paths;
}

void ScanUploadDirectory(quint32 areaId, const QString& directory, CPendingUploadArray& list)
{
    for (const QString& path : ListUploadDescriptions(directory))
        ReadUploadDescription(areaId, path, list);
}

bool ScanUploadAreas(CPendingUploadArray& list, const UploadScanProgress& progress,
                     const std::function<void()>& whileWaiting)
{
    // Every description file is found first, so that the progress can say how many there are.
    QList<std::pair<quint32, QString>> found;
    for (quint32 record : theFileAreaTable.RecordsWithFlag(kAreaAllowUploads)) {
        const FileAreaRecord* area = theFileAreaTable.GetRecord(record);
        for (const QString& path : ListUploadDescriptions(area->Path()))
            found.append({area->AreaId(), path});
    }
    for (qsizetype i = 0; i < found.size(); ++i) {
        if (progress && !progress(found[i].second, int(i), int(found.size())))
            return false;
        ReadUploadDescription(found[i].first, found[i].second, list, whileWaiting);
    }
    return true;
}

bool PostPendingUpload(const CPendingUpload& upload)
{
    if (!upload.IsSafe())
        return false;
    CFileRecord record(&theDatabaseManager);
    record.title = upload.title;
    record.file_size = upload.file_size;
    record.short_desc = upload.short_desc;
    // Kept with line feeds, as every other way into the library keeps it.
    record.long_desc = WithLineFeeds(upload.long_desc);
    record.upld_name = upload.company;
    record.upld_email = upload.email;
    record.requires_form = upload.requires_form ? 1 : 0;
    record.version = upload.version;
    record.file_date = quint32(QDateTime::currentSecsSinceEpoch());
    if (!record.Add())
        return false;
    for (quint32 areaId : upload.area_ids) {
        if (!record.AddToFileArea(double(areaId))) {
            record.Delete();
            return false;
        }
    }
    for (const QString& url : upload.urls) {
        if (!record.AddDownloadURL(url)) {
            record.Delete();
            return false;
        }
    }
    return true;
}

void RemovePostedDescription(const CPendingUpload& upload)
{
    if (upload.IsSafe())
        DeleteInDirectory(FindAreaPath(upload.area_id), UploadDescriptionPath(upload));
}

void DeleteUploadFiles(const CPendingUpload& upload)
{
    const QString directory = FindAreaPath(upload.area_id);
    DeleteInDirectory(directory, upload.upload_path);
    DeleteInDirectory(directory, upload.description_path);
}

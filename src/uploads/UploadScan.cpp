#include "uploads/UploadScan.h"

#include "adding/DescriptionExtraction.h"
#include "adding/download/LocalLocation.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/AreaDirectory.h"
#include "files/CodePoints.h"
#include "files/DescriptionText.h"
#include "files/FaultMessage.h"
#include "files/PathUtils.h"
#include "files/SafeFiles.h"
#include "files/SafeFormat.h"
#include "files/SiteTextLines.h"
#include "files/UploadNames.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"
#include "settings/Registry.h"
#include "viruscheck/VirusChecker.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace {

std::function<qint64()>& ScanClock()
{
    static std::function<qint64()> clock;
    return clock;
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
            upload.*field.field = LeftCodePoints(value, field.length);
            return;
        }
    }
    if (key == u"ReqForm")
        upload.requires_form = value.startsWith(u'Y') || value.startsWith(u'y') || value.startsWith(u'1');
}

// The fault's message, with the visitor's part of it (the file's name) held to a message's length.
qint64 Nanoseconds(const struct timespec& time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

CUploadIdentity IdentityOf(const struct stat& st)
{
    return {quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size), Nanoseconds(st.st_ctim)};
}

// Why an upload opened as first and seen again as second after its check cannot be posted yet:
// its size or times moved meanwhile, or it changed less than kUploadSettleSeconds before now.
QString ArrivingReason(const CPendingUpload& pending, const struct stat& first, const struct stat& second,
                       qint64 now)
{
    const bool moved = first.st_size != second.st_size ||
                       Nanoseconds(first.st_ctim) != Nanoseconds(second.st_ctim) ||
                       Nanoseconds(first.st_mtim) != Nanoseconds(second.st_mtim);
    const qint64 lastChange = std::max<qint64>(second.st_ctim.tv_sec, second.st_mtim.tv_sec);
    if (!moved && lastChange < now - kUploadSettleSeconds)
        return QString();
    return SafeFormat(u"%s is still arriving: scan again later to post it.",
                      ElideStoredText(pending.upload_path));
}

// Sizes, unpacks and checks the upload through its one descriptor, and notes which file that was.
void ExamineUpload(const CSafeFile& upload, CPendingUpload& pending, const CheckCancelled& cancelled)
{
    const struct stat& first = upload.Status();
    pending.file_size = double(first.st_size);
    pending.checked = IdentityOf(first);
    quint32 precedence = 0;
    RegReadDword(QStringLiteral("DIZSDIPrecedence"), &precedence, g_pszRegKey);
    if (precedence != 0 || pending.short_desc.isEmpty() || pending.long_desc.isEmpty())
        ExtractDescriptions(upload.Fd(), pending.short_desc, CPendingUpload::kShortDescLength,
                            pending.long_desc, CPendingUpload::kLongDescLength);
    pending.virus = RunVirusChecker(upload.Fd(), cancelled);
    struct stat second;
    const QString arriving = ::fstat(upload.Fd(), &second) != 0
                                 ? ShownFaultMessage({FileFault::Kind::System, errno, pending.upload_path})
                                 : ArrivingReason(pending, first, second, UploadScanTime());
    if (pending.IsSafe())
        pending.unsafe_reason = arriving;
}

// True when nothing of the upload's name is left in its directory.
bool UploadGone(const CPendingUpload& upload)
{
    FileFault fault;
    return upload.directory && !upload.directory->StatEntry(upload.upload_name, &fault) &&
           fault.kind == FileFault::Kind::System && fault.error == ENOENT;
}

} // namespace

void SetUploadScanClock(std::function<qint64()> clock)
{
    ScanClock() = std::move(clock);
}

qint64 UploadScanTime()
{
    return ScanClock() ? ScanClock()() : QDateTime::currentSecsSinceEpoch();
}

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

QString CheckUploadFileName(const QByteArray& uploadName, const QString& fileName)
{
    if (fileName.isEmpty())
        return SafeFormat(u"Refused: the description of %s has no \"Filename\" line",
                          ElideStoredText(QFile::decodeName(uploadName)));
    if (fileName.contains(u'/') || fileName.contains(u'\\') || fileName == u"." || fileName == u".." ||
        fileName.contains(QChar(0)))
        return SafeFormat(u"Refused: the file name \"%s\" is not a plain name in the area's directory",
                          ElideStoredText(fileName));
    // Compared as bytes: a name that is not valid UTF-8 matches no text.
    if (QFile::encodeName(fileName) != uploadName)
        return SafeFormat(u"Refused: the file name \"%s\" is not that of the file beside its description, %s",
                          ElideStoredText(fileName), ElideStoredText(QFile::decodeName(uploadName)));
    return QString();
}

void ReadUploadDescription(quint32 areaId, const std::shared_ptr<const CSafeDirectory>& directory,
                           const QByteArray& descriptionName, CPendingUploadArray& list,
                           const CheckCancelled& cancelled)
{
    if (!IsDescriptionName(descriptionName))
        return;
    const QByteArray uploadName = UploadNameOf(descriptionName);
    FileFault missing;
    if (!directory->StatEntry(uploadName, &missing)) {
        // A file described in turn is a visitor's upload that happens to end in ".desc".
        if (directory->StatEntry(DescriptionNameOf(descriptionName)))
            return;
        // The upload is gone: its description is all that is left of it. A link is removed itself,
        // a directory of that name is no description file and stays.
        if (missing.kind == FileFault::Kind::BadName || missing.error == ENOENT)
            directory->Remove(descriptionName);
        return;
    }

    CPendingUpload pending;
    pending.area_id = areaId;
    pending.description_name = descriptionName;
    pending.upload_name = uploadName;
    pending.description_path = directory->PathOf(descriptionName);
    pending.upload_path = directory->PathOf(uploadName);
    pending.directory = directory;
    pending.file_date = pending.last_download = quint32(UploadScanTime());

    CSafeFile description = directory->OpenForReading(descriptionName);
    if (description.IsOpen()) {
        ParseUploadDescription(
            SplitSiteTextLines(description.ReadAll(kMaxUploadDescriptionSize), kUploadLinePieceBytes),
            pending);
        description.Close();
    } else {
        // An unreadable file, or one gone meanwhile, is skipped and left where it is; a directory
        // of that name is no description file.
        const auto entry = directory->StatEntry(descriptionName);
        if (!entry || S_ISREG(entry->st_mode) || S_ISDIR(entry->st_mode))
            return;
        // A link, a FIFO, a socket: listed, so that the administrator sees it and can delete it.
        pending.unsafe_reason = ShownFaultMessage(description.Fault());
    }
    if (pending.IsSafe())
        pending.unsafe_reason = CheckUploadFileName(uploadName, pending.file_name);

    // Only the regular file itself is ever read: a link could lead anywhere, and a FIFO or a
    // device would hang the checker or feed it anything.
    CSafeFile upload = directory->OpenForReading(uploadName);
    if (upload.IsOpen()) {
        ExamineUpload(upload, pending, cancelled);
    } else {
        pending.virus.reason = SafeFormat(u"it could not be opened (%s).", ShownFaultMessage(upload.Fault()));
        if (pending.IsSafe())
            pending.unsafe_reason = ShownFaultMessage(upload.Fault());
    }
    pending.urls.append(FormLocalLocation(areaId, pending.file_name));
    pending.area_ids.append(areaId);
    list.append(pending);
}

QList<QByteArray> ListUploadDescriptions(const CSafeDirectory& directory)
{
    QList<QByteArray> names = directory.EntryNames();
    names.removeIf([](const QByteArray& name) { return !IsDescriptionName(name); });
    // Name order, so that every machine lists the uploads alike.
    std::sort(names.begin(), names.end());
    return names;
}

void ScanUploadDirectory(quint32 areaId, const QString& directory, CPendingUploadArray& list)
{
    const auto area = std::make_shared<const CSafeDirectory>(OpenAreaDirectory(directory));
    for (const QByteArray& name : ListUploadDescriptions(*area))
        ReadUploadDescription(areaId, area, name, list);
    list.removeIf(UploadGone);
}

QString UploadScanProgressText(const QString& descriptionPath, int index, int total)
{
    QString name = descriptionPath.mid(descriptionPath.lastIndexOf(u'/') + 1);
    if (name.endsWith(u".desc"))
        name.chop(5);
    return SafeFormat(u"Checking %s (%d of %d)", ElideStoredText(name), index + 1, total);
}

bool ScanUploadAreas(CPendingUploadArray& list, const UploadScanProgress& progress,
                     const CheckCancelled& cancelled)
{
    // Every description file is found first, so that the progress can say how many there are.
    struct Found
    {
        quint32 areaId;
        std::shared_ptr<const CSafeDirectory> directory;
        QByteArray name;
    };
    QList<Found> found;
    for (quint32 record : theFileAreaTable.RecordsWithFlag(kAreaAllowUploads)) {
        const FileAreaRecord* area = theFileAreaTable.GetRecord(record);
        const auto directory = std::make_shared<const CSafeDirectory>(OpenAreaDirectory(area->Path()));
        for (const QByteArray& name : ListUploadDescriptions(*directory))
            found.append({area->AreaId(), directory, name});
    }
    bool completed = true;
    for (qsizetype i = 0; i < found.size() && completed; ++i) {
        completed =
            !progress || progress(found[i].directory->PathOf(found[i].name), int(i), int(found.size()));
        if (completed)
            ReadUploadDescription(found[i].areaId, found[i].directory, found[i].name, list, cancelled);
    }
    // Checked last, just before the list is shown: what the checker moved away is not offered.
    list.removeIf(UploadGone);
    return completed;
}

QString VirusRefusal(const CPendingUpload& upload)
{
    switch (upload.virus.kind) {
    case VirusVerdict::Kind::NoChecker:
    case VirusVerdict::Kind::Clean:
        break;
    case VirusVerdict::Kind::Infected:
        return SafeFormat(u"%s was reported infected by the virus checker (exit code %u).",
                          ElideStoredText(upload.upload_path), upload.virus.exitCode.value_or(0));
    case VirusVerdict::Kind::NotChecked:
        return VirusNotCheckedMessage(upload.upload_path, upload.virus.reason);
    }
    return QString();
}

QString CheckUploadPostable(const CPendingUpload& upload)
{
    if (!upload.IsSafe())
        return upload.unsafe_reason;
    if (const QString refusal = VirusRefusal(upload); !refusal.isEmpty())
        return refusal;
    if (!upload.directory || !upload.checked)
        return SafeFormat(u"%s was not checked by a scan: scan again to post it.",
                          ElideStoredText(upload.upload_path));
    // The record will offer whatever the name leads to: it must still be the file that was checked.
    const CSafeFile file = upload.directory->OpenForReading(upload.upload_name);
    if (!file.IsOpen())
        return ShownFaultMessage(file.Fault());
    if (IdentityOf(file.Status()) != *upload.checked)
        return SafeFormat(u"%s has changed since it was checked: scan again to post it.",
                          ElideStoredText(upload.upload_path));
    return QString();
}

bool PostPendingUpload(const CPendingUpload& upload, QString* refusal)
{
    const QString reason = CheckUploadPostable(upload);
    if (refusal)
        *refusal = reason;
    if (!reason.isEmpty())
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
    // A safe upload's name is the upload's own, so its description file is the one read.
    if (upload.IsSafe() && upload.directory)
        upload.directory->Remove(upload.description_name);
}

QString UploadRefusalText(const CPendingUpload& upload)
{
    if (!upload.IsSafe())
        return SafeFormat(u"%s\n\nThis upload cannot be posted. Delete it, or have its description file "
                          u"corrected and scan again.",
                          upload.unsafe_reason);
    if (upload.virus.kind == VirusVerdict::Kind::Infected)
        return SafeFormat(u"%s\n\nThis upload cannot be posted: delete it.", VirusRefusal(upload));
    if (const QString refusal = VirusRefusal(upload); !refusal.isEmpty())
        return SafeFormat(u"%s\n\nThis upload cannot be posted. Delete it, or scan again once the virus "
                          u"checker works.",
                          refusal);
    return QString();
}

UploadPosting PostUpload(CPendingUpload& upload, QString* refusal)
{
    *refusal = UploadRefusalText(upload);
    if (!refusal->isEmpty())
        return UploadPosting::Refused;
    QString found;
    if (PostPendingUpload(upload, &found)) {
        RemovePostedDescription(upload);
        return UploadPosting::Posted;
    }
    if (found.isEmpty())
        return UploadPosting::Failed;
    upload.unsafe_reason = found;
    *refusal = UploadRefusalText(upload);
    return UploadPosting::Refused;
}

void DeleteUploadFiles(const CPendingUpload& upload)
{
    if (!upload.directory)
        return;
    upload.directory->Remove(upload.upload_name);
    upload.directory->Remove(upload.description_name);
}

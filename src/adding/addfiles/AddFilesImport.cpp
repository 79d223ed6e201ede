#include "adding/addfiles/AddFilesImport.h"

#include "adding/DescriptionExtraction.h"
#include "adding/addfiles/ImportReader.h"
#include "database/CFileRecord.h"
#include "database/CSavepoint.h"
#include "database/CTroveportDatabaseManager.h"
#include "database/DatabaseEngine.h"
#include "files/DescriptionText.h"
#include "files/FaultMessage.h"
#include "files/PathUtils.h"
#include "files/SafeCopy.h"
#include "files/SafeFormat.h"

#include <QElapsedTimer>

#include <algorithm>
#include <optional>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Whether the path lies inside the host directory (compared exactly: file names are case-sensitive).
bool IsInside(const QString& path, const QString& hostDirectory)
{
    return !hostDirectory.isEmpty() && path.startsWith(hostDirectory);
}

// The name the log gives a file whose record failed: its name without the extension.
QString SourceName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

// The error number and text of a log line: the system's for its errors, and for a refusal of the
// file layer (a link, a FIFO) the number the system would give and the layer's message.
int FaultErrno(const FileFault& fault)
{
    switch (fault.kind) {
    case FileFault::Kind::Link:
        return ELOOP;
    case FileFault::Kind::NotRegular:
    case FileFault::Kind::BadName:
        return EINVAL;
    default:
        return fault.error;
    }
}

QString FaultText(const FileFault& fault)
{
    return fault.kind == FileFault::Kind::System ? ErrorText(fault.error) : ShownFaultMessage(fault);
}

QString AddingErrorLine(const QString& name, int error)
{
    return SafeFormat(u"Error adding %s to database: %d (%s)\r\n", SourceName(name), error, ErrorText(error));
}

} // namespace

QString OpeningErrorLine(const QString& path, const FileFault& fault)
{
    return SafeFormat(u"Error opening %s: %d (%s)\r\n", path, FaultErrno(fault), FaultText(fault));
}

bool NeedsCopy(const QStringList& files, const QString& hostDirectory)
{
    for (const QString& path : files) {
        if (!IsInside(path, hostDirectory))
            return true;
    }
    return false;
}

QString MakeFileTitle(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    QString title = dot < 0 ? fileName : fileName.left(dot);
    const bool hasLowercase =
        std::any_of(title.cbegin(), title.cend(), [](QChar c) { return c >= u'a' && c <= u'z'; });
    if (!hasLowercase && !title.isEmpty())
        title = title.left(1) + title.mid(1).toLower();
    return title;
}

PreparedFile PrepareFile(const QString& path, const AddFilesHost& host, const CAreaDirectories& areas,
                         bool extractDescriptions, const CSafeDirectory* hostDirectory)
{
    PreparedFile file;
    file.path = path;
    const QString fullPath = GetFullPathName(path);
    if (fullPath.isEmpty() || fullPath.toUtf8().size() >= kMaxPathBuffer) {
        const int error = fullPath.isEmpty() ? EINVAL : ENAMETOOLONG;
        file.errorLine = SafeFormat(u"Error expanding %s: %d (%s)\r\n", path, error, ErrorText(error));
        return file;
    }
    file.name = GetFileNamePart(fullPath);
    file.copy = !IsInside(fullPath, host.directory);
    file.destination = file.copy ? host.directory + file.name : fullPath;
    file.location = SafeFormat(u"local://%d/%s", host.id, file.destination.mid(host.directory.size()));

    // A file in an area (the host's own included) is opened through the file layer, so that a link
    // there is refused; what is looked at, copied and described is this one open file. A FIFO or a
    // device opens for nobody, and its copy is what fails.
    file.source = areas.OpenSource(fullPath);
    if (!file.source.IsOpen()) {
        if (!(file.copy && file.source.Fault().kind == FileFault::Kind::NotRegular))
            file.errorLine = OpeningErrorLine(path, file.source.Fault());
        return file;
    }
    if (extractDescriptions) {
        file.described = true;
        // From the file that was opened and is copied, not from a name in the area that the site
        // could have pointed elsewhere since.
        ExtractDescriptions(file.source.Fd(), file.brief, CFileRecord::kShortDescLength, file.detailed,
                            CFileRecord::kLongDescLength);
        // Stored as the Add File wizard stores them: line feeds, no white space at the ends.
        file.detailed = WithLineFeeds(file.detailed);
        TrimString(file.brief);
        TrimString(file.detailed);
    }
    // Written ahead only where the storing stage will surely copy: a name already taken may turn out
    // to be a file that is registered, and is copied, if at all, when that is known.
    const QByteArray name = CSafeDirectory::NameBytes(file.name);
    if (hostDirectory && file.copy && !hostDirectory->StatEntry(name))
        file.pendingCopy = CPendingCopy::Write(file.source, *hostDirectory, name);
    return file;
}

bool StoreFile(PreparedFile& file, const AddFilesHost& host, const CSafeDirectory& hostDirectory, QString& log,
               ImportedCopy* copyMade)
{
    if (!file.errorLine.isEmpty()) {
        log += file.errorLine;
        return false;
    }
    const bool exists = !file.copy || hostDirectory.StatEntry(CSafeDirectory::NameBytes(file.name));
    if (exists && !theDatabaseManager.IsDownloadURLUnique(file.location)) {
        log += SafeFormat(u"The file %s already exists.\r\n", file.name);
        return false;
    }
    ImportedCopy made;
    if (file.copy) {
        made = {CSafeDirectory::NameBytes(file.name), exists};
        const FileFault fault = file.pendingCopy ? file.pendingCopy->Commit()
                                                 : CopyIntoDirectory(file.source, hostDirectory, made.name);
        if (fault) {
            log += SafeFormat(u"Error copying %s to %s: %d (%s)\r\n", file.path, file.destination,
                              FaultErrno(fault), FaultText(fault));
            return false;
        }
    }

    const struct stat& facts = file.source.Status();
    CFileRecord record(&theDatabaseManager);
    record.title = MakeFileTitle(file.name);
    record.file_size = double(quint32(quint64(facts.st_size) & 0xFFFFFFFFu));
    record.file_date = quint32(facts.st_mtime);
    if (file.described) {
        record.short_desc = file.brief;
        record.long_desc = file.detailed;
    }
    errno = 0;
    if (!record.Add()) {
        log += AddingErrorLine(file.name, errno);
        if (file.copy)
            TakeBackCopy(hostDirectory, made, log);
        return false;
    }
    // The file counts as added even when its link or its location is refused (the database logs it).
    record.AddToFileArea(double(host.id));
    record.AddDownloadURL(file.location);
    if (copyMade)
        *copyMade = made;
    return true;
}

void TakeBackCopy(const CSafeDirectory& hostDirectory, const ImportedCopy& copy, QString& log)
{
    const QString path = hostDirectory.PathOf(copy.name);
    FileFault fault;
    if (copy.replacedAFile)
        log += SafeFormat(u"The copy %s took the place of a file of that name and stays, though no file record "
                          u"names it.\r\n",
                          path);
    else if (!hostDirectory.Remove(copy.name, &fault))
        log += SafeFormat(u"Error removing %s, which no file record names: %d (%s)\r\n", path, FaultErrno(fault),
                          FaultText(fault));
}

int ImportFiles(const QStringList& files, const AddFilesHost& host, bool extractDescriptions, QString& log,
                const std::function<bool(qsizetype)>& beforeFile)
{
    constexpr qint64 kBatchMilliseconds = 200;
    int added = 0;
    std::optional<CSavepoint> batch;
    // The files added in the open batch and their copies, for the log if its commit fails.
    QList<std::pair<QString, ImportedCopy>> batchFiles;
    QElapsedTimer batchTimer;
    const CSafeDirectory hostDirectory = CSafeDirectory::Open(host.directory);
    const auto commit = [&] {
        if (batch && !batch->Release()) {
            for (const auto& [name, copy] : std::as_const(batchFiles)) {
                log += AddingErrorLine(name, EIO);
                if (!copy.name.isEmpty())
                    TakeBackCopy(hostDirectory, copy, log);
            }
            added -= int(batchFiles.size());
        }
        batch.reset(); // a batch that was not committed is taken back here
        batchFiles.clear();
    };
    // Made last, so it is stopped first: what it read ahead and nobody took is closed unused.
    CImportReader reader(files, host, extractDescriptions, hostDirectory);
    for (qsizetype index = 0; index < files.size(); ++index) {
        if (!beforeFile(index))
            break;
        if (!batch) {
            batch.emplace(&theDatabaseManager, QStringLiteral("import_files"));
            batchTimer.start();
        }
        PreparedFile file = reader.Take();
        ImportedCopy copy;
        if (StoreFile(file, host, hostDirectory, log, &copy)) {
            ++added;
            batchFiles.append({file.name, copy});
        }
        if (batchTimer.elapsed() >= kBatchMilliseconds)
            commit();
    }
    commit();
    return added;
}

int ImportAndIndexFiles(const QStringList& files, const AddFilesHost& host, bool extractDescriptions,
                        QString& log, const std::function<bool(qsizetype)>& beforeFile,
                        const std::function<void()>& beforeIndexing)
{
    const int added = ImportFiles(files, host, extractDescriptions, log, beforeFile);
    if (added > 0) {
        if (beforeIndexing)
            beforeIndexing();
        theDatabaseManager.Engine().CatchUpSearchIndexes(theDatabaseManager);
    }
    log += AddedSummaryLine(added);
    return added;
}

QString AddedSummaryLine(int added)
{
    return SafeFormat(u"%d file(s) added successfully.\r\n", added);
}

#include "ImportCommand.h"

#include "adding/addfiles/AddFilesChoice.h"
#include "adding/addfiles/AddFilesImport.h"
#include "adding/addfiles/FileCollection.h"
#include "database/CDBException.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/PathUtils.h"
#include "files/SafeFormat.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"

#include <atomic>
#include <csignal>

namespace {

std::function<void(qsizetype)>& FileHook()
{
    static std::function<void(qsizetype)> hook;
    return hook;
}

// The signal that asked the import to stop, 0 while none did.
std::atomic<int> g_stopSignal{0};

void NoteStopSignal(int signal)
{
    g_stopSignal.store(signal);
}

// While it lives, SIGINT and SIGTERM only ask the import to stop between files: what is imported
// so far is committed, and the log says where it stopped. A second signal is no harder: the file
// at work is at most one file and one batch commit away.
class CStopSignals
{
public:
    CStopSignals()
    {
        g_stopSignal.store(0);
        struct sigaction action = {};
        action.sa_handler = NoteStopSignal;
        sigemptyset(&action.sa_mask);
        // The reader thread's reads and the database's waits go on; only the loop looks at the flag.
        action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &action, &m_previousInt);
        sigaction(SIGTERM, &action, &m_previousTerm);
    }
    ~CStopSignals()
    {
        sigaction(SIGINT, &m_previousInt, nullptr);
        sigaction(SIGTERM, &m_previousTerm, nullptr);
    }
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

    static int Signal() { return g_stopSignal.load(); }

private:
    struct sigaction m_previousInt = {};
    struct sigaction m_previousTerm = {};
};

QString SignalName(int signal)
{
    return signal == SIGINT ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM");
}

} // namespace

void SetImportFileHook(std::function<void(qsizetype)> hook)
{
    FileHook() = std::move(hook);
}

int ImportCommand(const CommandLine& line, const QString& library, QTextStream& out, QTextStream& err)
{
    Allow(line, QStringLiteral("import"),
          {QStringLiteral("area"), QStringLiteral("subdirs"), QStringLiteral("descriptions")});
    ExpectWords(line, 2, 2, QStringLiteral("import"));
    if (!line.Has(QStringLiteral("area")))
        throw CUsageError(QStringLiteral("\"import\" needs the host area: --area ID."));
    const quint32 areaId = ParseAreaId(line.Value(QStringLiteral("area")));
    const QString directory = line.words[1];

    QString error;
    if (!OpenLibraryAsExplorer(library, &error))
        return Fail(err, error, 2);
    // As the wizard offers them: only an area that keeps its files in its own directory can host.
    const FileAreaRecord* area = theFileAreaTable.FindArea(areaId);
    if (!area)
        return Fail(err, SafeFormat(u"There is no area with id %u.", areaId), 2);
    if (!area->HasFlag(kAreaHostsLocalFiles))
        return Fail(err,
                    SafeFormat(u"The area %u (%s) does not host files: its files are kept elsewhere. Choose an "
                               u"area that hosts files locally (area set %u --local).",
                               areaId, area->Name(), areaId),
                    2);
    AddFilesChoice choice;
    choice.SetHost({area->AreaId(), area->Name(), area->Path()});
    choice.extractDescriptions = line.Has(QStringLiteral("descriptions"));
    try {
        theDatabaseManager.GetConnection();
    } catch (const CDBException& e) {
        theDatabaseManager.CloseConnection();
        return Fail(err, e.GetErrorText(), 2);
    }

    CProgressLine progress(err);
    CollectedFiles found;
    const bool collected =
        CollectFiles(directory, line.Has(QStringLiteral("subdirs")), found, [&](const QString& path) {
            progress.Show(SafeFormat(u"Looking for files... %s", path));
            return true;
        });
    progress.Clear();
    if (!collected)
        return Fail(err, NoValidDirectoryMessage(), 2);
    // What was found but refused goes on to the results, which say why.
    if (found.files.isEmpty() && found.refusals.isEmpty())
        return Fail(err, NoFilesFoundMessage(), 2);
    choice.files = found.files;
    choice.collectionRefusals = found.refusals;
    // The wizard asks first; the command line is the administrator's consent, and the log a record.
    if (NeedsCopy(choice.files, choice.host.directory))
        err << SafeFormat(u"Copying the files that lie outside %s into it.\n", choice.host.directory) << Qt::flush;

    QString log = choice.collectionRefusals;
    qsizetype stoppedAt = -1;
    int added = 0;
    {
        CStopSignals stopSignals;
        const QStringList& files = choice.files;
        const auto beforeFile = [&](qsizetype index) {
            if (FileHook())
                FileHook()(index);
            if (CStopSignals::Signal() != 0) {
                stoppedAt = index;
                return false;
            }
            progress.Show(SafeFormat(u"Importing %d of %d: %s", qint64(index + 1), qint64(files.size()),
                                     GetFileNamePart(files[index])));
            return true;
        };
        try {
            added = ImportAndIndexFiles(files, choice.host, choice.extractDescriptions, log, beforeFile,
                                        [&] { progress.Show(QStringLiteral("Indexing the new files for searches..."), true); });
        } catch (const CDBException& e) {
            progress.Clear();
            out << QString(log).replace(QLatin1String("\r\n"), QLatin1String("\n")) << Qt::flush;
            theDatabaseManager.CloseConnection();
            return Fail(err, e.GetErrorText(), 2);
        }
        if (stoppedAt >= 0)
            log += SafeFormat(u"Stopped by %s before %s (file %d of %d): it and the files after it were not "
                              u"imported.\r\n",
                              SignalName(CStopSignals::Signal()), files[stoppedAt], qint64(stoppedAt + 1),
                              qint64(files.size()));
    }
    progress.Clear();
    theDatabaseManager.CloseConnection();
    out << log.replace(QLatin1String("\r\n"), QLatin1String("\n")) << Qt::flush;
    const bool everyFileAdded = found.refusals.isEmpty() && added == choice.files.size();
    return everyFileAdded ? 0 : 1;
}

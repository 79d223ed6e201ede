#include "DemoLibrary.h"

#include "CLibraryEditor.h"
#include "database/CTroveportDatabaseManager.h"
#include "DemoFiles.h"
#include "files/PathUtils.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"
#include "settings/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString DefaultDemoDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/troveport/demo");
}

namespace {

bool FillDemoLibrary(const QString& base, QTextStream& out, QString* error, const QString& connection);

// ClamAV's scanner when this machine has it, found now: the settings hold a full path. The options
// and the virus status are written in any case, so installing it later needs only VirusChecker.
bool WriteVirusCheckerSettings(const QString& key)
{
    const QString clamscan = QStandardPaths::findExecutable(QStringLiteral("clamscan"));
    return (clamscan.isEmpty() ||
            RegWriteString(QStringLiteral("VirusChecker"), clamscan, key) == kRegSuccess) &&
           RegWriteString(QStringLiteral("VirusCmdLine"), QStringLiteral("--no-summary"), key) ==
               kRegSuccess &&
           RegWriteDword(QStringLiteral("VirusExitCode"), 1, key) == kRegSuccess;
}

} // namespace

bool CreateDemoLibrary(const QString& baseDirectory, QTextStream& out, QString* error,
                       const QString& databaseConnection)
{
    const QString base = QDir::cleanPath(QDir(baseDirectory).absolutePath());
    const bool existed = QFileInfo::exists(base);
    if (FillDemoLibrary(base, out, error, databaseConnection))
        return true;
    // Half a demonstration would only be in the way of the next attempt.
    if (!existed)
        QDir(base).removeRecursively();
    return false;
}

namespace {

bool FillDemoLibrary(const QString& base, QTextStream& out, QString* error, const QString& connection)
{
    // The demonstration becomes the machine's library; it must not quietly replace a real one.
    const QString current = RegGetString(QStringLiteral("DatabasePath"), g_pszRegKey);
    if (!current.isEmpty() && current != base + QStringLiteral("/db") &&
        QFileInfo::exists(current + QStringLiteral("/Filearea.dat"))) {
        *error = QStringLiteral(
                     "The machine settings %1 already name the library %2. Give the demonstration "
                     "settings of its own: TROVEPORT_MACHINE_REG=%3/machine.reg troveport-setup --demo %3")
                     .arg(RegistryFileForRoot(RegRoot::Machine), current, base);
        return false;
    }
    const QString db = base + QStringLiteral("/db");
    if (QFileInfo(CLibraryEditor::TableName(db)).size() > 0) {
        *error =
            QStringLiteral("A library already exists in %1; remove the directory to make a new one.").arg(db);
        return false;
    }
    const QString web = base + QStringLiteral("/web");
    if (!CLibraryEditor::Create(db, error) || !QDir().mkpath(web + QStringLiteral("/reviews"))) {
        if (error->isEmpty())
            *error = QStringLiteral("Cannot create the web root %1.").arg(web);
        return false;
    }

    CLibraryEditor editor(db);
    if (!editor.Open(error))
        return false;

    const QString areas = base + QStringLiteral("/areas/");
    const quint32 D = kAreaAllowDownloads, U = kAreaAllowUploads, L = kAreaHostsLocalFiles;
    struct DemoArea
    {
        const char* name;
        const char* dir;
        quint32 flags;
    };
    const DemoArea demoAreas[] = {
        {"Shareware Games", "games", D | L},       {"Classic Arcade", "arcade", D},
        {"DOS Utilities", "dosutil", D | L},       {"Windows Utilities", "winutil", D | L},
        {"Programming", "programming", D | U | L}, {"Text Files", "text", D | L},
        {"Incoming Uploads", "incoming", U | L},
    };
    for (const DemoArea& a : demoAreas) {
        const QString dir = QString::fromLatin1(a.dir);
        AreaDefinition area{0,
                            QString::fromLatin1(a.name),
                            areas + dir,
                            QStringLiteral("/pub/files/") + dir,
                            QStringLiteral("/files/") + dir,
                            a.flags};
        if (!editor.AddArea(area, error))
            return false;
    }

    // Groups list area ids; an area may stand in more than one group.
    const struct
    {
        const char* name;
        QList<quint32> ids;
    } groups[] = {
        {"Games", {1, 2}},
        {"Utilities", {3, 4, 5}},
        {"Documents", {6}},
        {"Uploads", {7, 5}},
    };
    for (const auto& g : groups) {
        if (!editor.SetGroup(QString::fromLatin1(g.name), g.ids, error))
            return false;
    }
    if (!editor.Save(error))
        return false;

    if (connection.isEmpty())
        theDatabaseManager.SetDatabaseFile(MakePath(db, QStringLiteral("troveport.db")));
    else
        theDatabaseManager.SetDatabaseConnection(connection);
    if (!AddDemoFiles(base + QStringLiteral("/areas"), web + QLatin1Char('/'), error) ||
        !AddDemoUploads(base + QStringLiteral("/areas"), error))
        return false;

    const QString keyM = g_pszRegKey;
    if (RegWriteString(QStringLiteral("DatabasePath"), db, keyM) != kRegSuccess ||
        RegWriteString(QStringLiteral("DatabaseConnection"), connection, keyM) != kRegSuccess ||
        RegWriteString(QStringLiteral("HttpPath"), web, keyM) != kRegSuccess ||
        RegWriteString(QStringLiteral("HttpServer"), QStringLiteral("http://localhost:8080"), keyM) !=
            kRegSuccess ||
        RegWriteDword(QStringLiteral("DIZSDIPrecedence"), 0, keyM) != kRegSuccess ||
        !WriteVirusCheckerSettings(keyM)) {
        *error = QStringLiteral("Cannot write the machine settings %1.")
                     .arg(RegistryFileForRoot(RegRoot::Machine));
        return false;
    }

    const QString checker = RegGetString(QStringLiteral("VirusChecker"), keyM);
    out << "Created the demonstration library in " << base << "\n"
        << "Machine settings: " << RegistryFileForRoot(RegRoot::Machine) << "\n"
        << (checker.isEmpty() ? QStringLiteral("Virus checker: none (install clamav and set VirusChecker to "
                                               "use Virus Check)")
                              : QStringLiteral("Virus checker: ") + checker)
        << "\n";
    return true;
}

} // namespace

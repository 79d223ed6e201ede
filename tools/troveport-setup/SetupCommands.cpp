#include "SetupCommands.h"

#include "CheckCommand.h"
#include "CLibraryEditor.h"
#include "database/CDBException.h"
#include "database/CTroveportDatabaseManager.h"
#include "database/PostgresConnection.h"
#include "DatabaseCopy.h"
#include "DemoLibrary.h"
#include "FileGenerator.h"
#include "ImportCommand.h"
#include "ScanUploadsCommand.h"
#include "SetupCommandLine.h"
#include "files/PathUtils.h"
#include "files/SafeFormat.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"
#include "settings/Registry.h"

#include <QDir>
#include <QMultiMap>
#include <QSet>

namespace {

const char* const kUsage =
    R"(Usage: troveport-setup [--library DIR] [--machine-settings FILE] COMMAND [ARGUMENTS]

Creates and changes the library that Troveport Explorer shows: the file area table
(Filearea.dat), the group files (*.group) and the machine settings.

Commands:
  init DIR [--http-path DIR] [--http-server URL]
        Create a library whose database directory is DIR and make it this machine's library.
  area list
  area add NAME PATH [--id N] [--ftp-alias TEXT] [--http-alias TEXT]
                     [--downloads] [--uploads] [--local] [--group NAME]...
        Add an area; PATH is its directory, made when missing. --downloads allows downloads,
        --uploads accepts visitors' uploads, --local keeps the files themselves in PATH.
  area set ID [--name NAME] [--path PATH] [--ftp-alias TEXT] [--http-alias TEXT]
              [--downloads|--no-downloads] [--uploads|--no-uploads] [--local|--no-local]
  area remove ID
  group list
  group set NAME [ID]...     Make the group hold exactly these areas, in this order.
  group add NAME ID...       Add areas at the end of a group, making the group when missing.
  group remove NAME
  files generate AREA_ID COUNT [--local-copies]
        Add COUNT generated files to an area (for trials and benchmarks), in the PostgreSQL
        database DatabaseConnection names, else in the library's SQLite file. --local-copies
        writes a copy of each, a few kilobytes, into the area's directory and gives the file its
        local location instead of a web address. On PostgreSQL,
        adding at least as many files as there are already makes the search indexes anew at the
        end, and the files cannot be listed meanwhile.
  database copy URI [--use]
        Copy the library's SQLite file (troveport.db) into the PostgreSQL database the URI
        (postgresql://user@host:port/dbname) names, which must hold no files: every row and
        column, those the web site added included, with the same file ids. All or nothing; stop
        the web site's writes first, since what it writes meanwhile is not copied. --use then
        makes Troveport Explorer use that database.
  database use URI          Make Troveport Explorer use the PostgreSQL database the URI names
                            (creating its tables when missing). Passwords belong in ~/.pgpass
                            or the file PGPASSFILE names, never in the URI.
  database use sqlite       Go back to the library's SQLite file.
  database search-indexes on|off
        Make or drop the trigram indexes that speed up searches: on the PostgreSQL database
        DatabaseConnection names, else in the library's SQLite file.
  check [--area ID]... [--checksums] [--json]
        Report what does not add up in the library: local copies missing, not regular files,
        outside their area or of another size than their record; files in the areas that no
        location names; records in no area; links and locations to unknown areas; invalid
        locations. --checksums stores each local copy's SHA-256 and reports changed content and
        duplicates. Exit status 0 when the library is whole, 1 when something was found.
  check --fix KIND [--fix KIND]... [--dry-run] [--move-to DIR]
        Then repair: missing-locations (remove the locations of missing files), area-links
        (remove links to unknown areas), orphan-files (move them to DIR/<area id>/<path>, with
        --move-to). Never deletes a file or a record; --dry-run only says what would be done.
  set NAME VALUE [--dword]   Store a machine setting (a number with --dword). A value that
                             begins with "--" goes after "--": set VirusCmdLine -- "--quiet".
  get NAME                   Show a machine setting.
  import DIR --area ID [--subdirs] [--descriptions]
        Add the files of DIR to the area (one that keeps its files locally), as the Add Files
        wizard does; files outside the area's directory are copied into it. Prints the results
        log; exit status 1 when some file was not added, 2 when nothing could be imported.
        SIGINT or SIGTERM stops it between files, keeping those added.
  scan-uploads [--json] [--post-clean]
        List the visitors' uploads waiting in the upload areas, with the virus checker's
        verdict. --post-clean posts the safe ones the checker found clean. Exit status 0 when
        nothing waits afterwards, 1 when uploads wait, 2 on an error.
  --demo [DIR] [--database-connection URI]
        Make a demonstration library in DIR (default: %1), its files in an SQLite
        file there, or in the empty PostgreSQL database the URI names.
  --version                 Print the version (as the first argument only).

The library is the one named by --library, else the machine setting DatabasePath.
Machine settings live in $TROVEPORT_MACHINE_REG, else /etc/troveport/machine.reg.
Stop Troveport Explorer before changing areas or groups: it keeps the table locked while it runs.
Each command changes the library whole or not at all; commands run at the same time wait for
each other (up to a minute) on Filearea.lock beside the table. A new area never gets an id that
an area had before or that a group still lists.
)";

QString FlagText(quint32 flags)
{
    QString text;
    text += flags & kAreaAllowDownloads ? QLatin1Char('D') : QLatin1Char('-');
    text += flags & kAreaAllowUploads ? QLatin1Char('U') : QLatin1Char('-');
    text += flags & kAreaHostsLocalFiles ? QLatin1Char('L') : QLatin1Char('-');
    return text;
}

void ApplyFlags(const CommandLine& line, quint32& flags)
{
    const struct
    {
        const char* on;
        const char* off;
        quint32 bit;
    } pairs[] = {{"downloads", "no-downloads", kAreaAllowDownloads},
                 {"uploads", "no-uploads", kAreaAllowUploads},
                 {"local", "no-local", kAreaHostsLocalFiles}};
    for (const auto& p : pairs) {
        const bool on = line.Has(QLatin1String(p.on)), off = line.Has(QLatin1String(p.off));
        if (on && off)
            throw CUsageError(QStringLiteral("--%1 and --%2 contradict each other.")
                                  .arg(QLatin1String(p.on), QLatin1String(p.off)));
        if (on)
            flags |= p.bit;
        if (off)
            flags &= ~p.bit;
    }
}

int ListAreas(const QString& library, QTextStream& out, QTextStream& err)
{
    // Reading needs only the shared lock, so listing works while the explorer runs.
    CFileAreaTable table;
    const QString name = CLibraryEditor::TableName(library);
    if (!QFileInfo::exists(name) || !table.Open(name, 0))
        return Fail(err, QStringLiteral("Cannot read %1.").arg(name));
    out << "ID\tFLAGS\tNAME\tPATH\tFTP ALIAS\tHTTP ALIAS\n";
    for (quint32 i = 1; i < table.GetRecordCount(); ++i) {
        const FileAreaRecord* r = table.GetRecord(i);
        out << r->AreaId() << '\t' << FlagText(r->Flags()) << '\t' << r->Name() << '\t' << r->Path() << '\t'
            << r->FtpAlias() << '\t' << r->HttpAlias() << '\n';
    }
    return 0;
}

int AreaCommand(const CommandLine& line, const QString& library, QTextStream& out, QTextStream& err)
{
    const QString verb = line.words.value(1);
    QString error;
    if (verb == QLatin1String("list")) {
        Allow(line, QStringLiteral("area list"), {});
        ExpectWords(line, 2, 2, QStringLiteral("area list"));
        return ListAreas(library, out, err);
    }

    CLibraryEditor editor(library);
    if (verb == QLatin1String("add")) {
        Allow(line, QStringLiteral("area add"),
              {QStringLiteral("id"), QStringLiteral("ftp-alias"), QStringLiteral("http-alias"),
               QStringLiteral("group"), QStringLiteral("downloads"), QStringLiteral("uploads"),
               QStringLiteral("local")});
        ExpectWords(line, 4, 4, QStringLiteral("area add"));
        AreaDefinition area;
        area.name = line.words[2];
        area.path = line.words[3];
        if (line.Has(QStringLiteral("id")))
            area.id = ParseAreaId(line.Value(QStringLiteral("id")));
        area.ftpAlias = line.Value(QStringLiteral("ftp-alias"));
        area.httpAlias = line.Value(QStringLiteral("http-alias"));
        ApplyFlags(line, area.flags);
        // Groups are joined in the order given.
        const QStringList groups = line.Values(QStringLiteral("group"));
        for (const QString& group : groups) {
            if (!CLibraryEditor::CheckGroupName(group, &error))
                return Fail(err, error);
        }
        // The area and its places in groups land together, or nothing does.
        if (!editor.Open(&error) || !editor.AddArea(area, &error))
            return Fail(err, error);
        for (const QString& group : groups) {
            QList<quint32> ids = editor.GroupAreas(group);
            ids.append(area.id);
            if (!editor.SetGroup(group, ids, &error))
                return Fail(err, error);
        }
        if (!editor.Save(&error))
            return Fail(err, error);
        out << "Added area " << area.id << " \"" << area.name << "\" in " << area.path << "\n";
        return 0;
    }
    if (verb == QLatin1String("set")) {
        Allow(line, QStringLiteral("area set"),
              {QStringLiteral("name"), QStringLiteral("path"), QStringLiteral("ftp-alias"),
               QStringLiteral("http-alias"), QStringLiteral("downloads"), QStringLiteral("no-downloads"),
               QStringLiteral("uploads"), QStringLiteral("no-uploads"), QStringLiteral("local"),
               QStringLiteral("no-local")});
        ExpectWords(line, 3, 3, QStringLiteral("area set"));
        const quint32 id = ParseAreaId(line.words[2]);
        AreaDefinition area;
        if (!editor.Open(&error))
            return Fail(err, error);
        if (!editor.FindArea(id, &area))
            return Fail(err, QStringLiteral("There is no area with id %1.").arg(id));
        const struct
        {
            const char* option;
            QString* field;
        } fields[] = {{"name", &area.name},
                      {"path", &area.path},
                      {"ftp-alias", &area.ftpAlias},
                      {"http-alias", &area.httpAlias}};
        for (const auto& f : fields) {
            if (line.Has(QLatin1String(f.option)))
                *f.field = line.Value(QLatin1String(f.option));
        }
        ApplyFlags(line, area.flags);
        if (!editor.ChangeArea(area, &error) || !editor.Save(&error))
            return Fail(err, error);
        out << "Changed area " << id << "\n";
        return 0;
    }
    if (verb == QLatin1String("remove")) {
        Allow(line, QStringLiteral("area remove"), {});
        ExpectWords(line, 3, 3, QStringLiteral("area remove"));
        const quint32 id = ParseAreaId(line.words[2]);
        if (!editor.Open(&error) || !editor.RemoveArea(id, &error) || !editor.Save(&error))
            return Fail(err, error);
        out << "Removed area " << id << "\n";
        return 0;
    }
    throw CUsageError(QStringLiteral("Unknown command \"area %1\".").arg(verb));
}

int GroupCommand(const CommandLine& line, const QString& library, QTextStream& out, QTextStream& err)
{
    const QString verb = line.words.value(1);
    const QString command = QStringLiteral("group ") + verb;
    Allow(line, command, {});
    QString error;
    CLibraryEditor editor(library);
    if (verb == QLatin1String("list")) {
        ExpectWords(line, 2, 2, command);
        // Only an existing table is read: opening creates a missing one.
        CFileAreaTable table;
        if (QFileInfo::exists(CLibraryEditor::TableName(library)))
            table.Open(CLibraryEditor::TableName(library), 0);
        if (!editor.ReadGroups(&error))
            return Fail(err, error);
        for (const QString& group : editor.GroupNames()) {
            out << group << ":";
            for (quint32 id : editor.GroupAreas(group)) {
                const FileAreaRecord* area = table.FindArea(id);
                out << " " << id
                    << (area ? QStringLiteral(" (%1)").arg(area->Name()) : QStringLiteral(" (unknown)"));
            }
            out << "\n";
        }
        return 0;
    }

    if (verb != QLatin1String("set") && verb != QLatin1String("add") && verb != QLatin1String("remove"))
        throw CUsageError(QStringLiteral("Unknown command \"%1\".").arg(command));
    if (verb == QLatin1String("remove"))
        ExpectWords(line, 3, 3, command);
    else
        ExpectWords(line, verb == QLatin1String("add") ? 4 : 3, std::numeric_limits<qsizetype>::max(),
                    command);
    const QString name = line.words[2];
    QList<quint32> ids;
    for (qsizetype i = 3; i < line.words.size(); ++i)
        ids.append(ParseAreaId(line.words[i]));

    if (!editor.Open(&error))
        return Fail(err, error);
    if (verb == QLatin1String("remove")) {
        if (!editor.RemoveGroup(name, &error) || !editor.Save(&error))
            return Fail(err, error);
        out << "Removed group \"" << name << "\"\n";
        return 0;
    }
    for (quint32 id : ids) {
        AreaDefinition area;
        if (!editor.FindArea(id, &area))
            return Fail(err, QStringLiteral("There is no area with id %1.").arg(id));
    }
    if (verb == QLatin1String("add"))
        ids = editor.GroupAreas(name) + ids;
    if (!editor.SetGroup(name, ids, &error) || !editor.Save(&error))
        return Fail(err, error);
    out << "Group \"" << name << "\" holds " << ids.size() << " area(s)\n";
    return 0;
}

int FilesCommand(const CommandLine& line, const QString& library, QTextStream& out, QTextStream& err)
{
    Allow(line, QStringLiteral("files"), {QStringLiteral("local-copies")});
    if (line.words.value(1) != QLatin1String("generate"))
        throw CUsageError(QStringLiteral("Unknown command \"files %1\".").arg(line.words.value(1)));
    ExpectWords(line, 4, 4, QStringLiteral("files generate"));
    const quint32 id = ParseAreaId(line.words[2]);
    bool ok = false;
    const qint64 count = line.words[3].toLongLong(&ok);
    if (!ok || count < 1 || count > 100000000)
        throw CUsageError(
            QStringLiteral("\"%1\" is not a number of files (1 to 100000000).").arg(line.words[3]));
    CFileAreaTable table;
    const FileAreaRecord* area = nullptr;
    if (!QFileInfo::exists(CLibraryEditor::TableName(library)) ||
        !table.Open(CLibraryEditor::TableName(library)) || !(area = table.FindArea(id)))
        return Fail(err, QStringLiteral("There is no area with id %1.").arg(id));
    QString copies;
    if (line.Has(QStringLiteral("local-copies"))) {
        if (!(area->Flags() & kAreaHostsLocalFiles))
            return Fail(err, QStringLiteral("Area %1 does not host files: give it --local first.").arg(id));
        // An area without a directory keeps its files in the current one.
        copies = area->Path().isEmpty() ? QStringLiteral(".") : area->Path();
    }
    UseLibraryDatabase(library);
    QString error;
    const bool done = GenerateFiles(id, count, out, &error, copies) && CatchUpSearchIndexes(out, &error);
    theDatabaseManager.CloseConnection();
    return done ? 0 : Fail(err, error);
}

// Stores the database the explorer uses; an empty connection means the SQLite file.
int WriteConnection(const QString& connection, QTextStream& out, QTextStream& err)
{
    if (RegWriteString(QStringLiteral("DatabaseConnection"), connection, g_pszRegKey) != kRegSuccess)
        return Fail(
            err, SafeFormat(u"Cannot write the machine settings %s.", RegistryFileForRoot(RegRoot::Machine)));
    if (connection.isEmpty())
        out << "Troveport Explorer uses the library's SQLite file.\n";
    else
        out << SafeFormat(u"Troveport Explorer uses %s.\n", DisplayPostgresUri(connection));
    return 0;
}

int DatabaseCommand(const CommandLine& line, QTextStream& out, QTextStream& err)
{
    const QString verb = line.words.value(1);
    const QString command = QStringLiteral("database ") + verb;
    QString error;
    if (verb == QLatin1String("copy")) {
        Allow(line, command, {QStringLiteral("use")});
        ExpectWords(line, 3, 3, command);
        const QString library = LibraryDirectory(line, &error);
        if (library.isEmpty())
            return Fail(err, error);
        const QString uri = line.words[2].trimmed();
        if (!CopyDatabaseToPostgres(MakePath(library, QStringLiteral("troveport.db")), uri, out, &error))
            return Fail(err, error);
        return line.Has(QStringLiteral("use")) ? WriteConnection(uri, out, err) : 0;
    }
    if (verb == QLatin1String("use")) {
        Allow(line, command, {});
        ExpectWords(line, 3, 3, command);
        const QString uri = line.words[2].trimmed();
        if (uri == QLatin1String("sqlite"))
            return WriteConnection(QString(), out, err);
        // Only a database that answers is stored; connecting makes the tables when they are missing.
        theDatabaseManager.SetDatabaseConnection(uri);
        try {
            theDatabaseManager.GetConnection();
        } catch (const CDBException& e) {
            theDatabaseManager.CloseConnection();
            return Fail(err, e.GetErrorText());
        }
        theDatabaseManager.CloseConnection();
        return WriteConnection(uri, out, err);
    }
    if (verb == QLatin1String("search-indexes")) {
        Allow(line, command, {});
        ExpectWords(line, 3, 3, command);
        const QString state = line.words[2];
        if (state != QLatin1String("on") && state != QLatin1String("off"))
            throw CUsageError(QStringLiteral("\"database search-indexes\" takes on or off."));
        const bool onServer = !RegGetString(QStringLiteral("DatabaseConnection"), g_pszRegKey).trimmed().isEmpty();
        const QString library = onServer ? QString() : LibraryDirectory(line, &error);
        if (!onServer && library.isEmpty())
            return Fail(err, error);
        UseLibraryDatabase(library);
        return SetSearchIndexes(state == QLatin1String("on"), out, &error) ? 0 : Fail(err, error);
    }
    throw CUsageError(QStringLiteral("Unknown command \"%1\".").arg(command));
}

int Run(const CommandLine& line, QTextStream& out, QTextStream& err)
{
    if (line.Has(QStringLiteral("machine-settings")))
        qputenv("TROVEPORT_MACHINE_REG", QFile::encodeName(line.Value(QStringLiteral("machine-settings"))));

    if (line.Has(QStringLiteral("help"))) {
        out << QString::fromUtf8(kUsage).arg(DefaultDemoDirectory());
        return 0;
    }
    QString error;
    if (line.Has(QStringLiteral("demo")) || line.words.value(0) == QLatin1String("demo")) {
        Allow(line, QStringLiteral("--demo"), {QStringLiteral("demo"), QStringLiteral("database-connection")});
        const qsizetype first = line.Has(QStringLiteral("demo")) ? 0 : 1;
        if (line.words.size() > first + 1)
            throw CUsageError(QStringLiteral("--demo takes at most one directory."));
        const QString dir = line.words.value(first, DefaultDemoDirectory());
        return CreateDemoLibrary(dir, out, &error, line.Value(QStringLiteral("database-connection"))) ? 0
                                                                                                     : Fail(err, error);
    }
    if (line.words.isEmpty())
        throw CUsageError(QStringLiteral("No command given."));

    const QString command = line.words[0];
    if (command == QLatin1String("init")) {
        Allow(line, command, {QStringLiteral("http-path"), QStringLiteral("http-server")});
        ExpectWords(line, 2, 2, command);
        // Relative paths are taken from the current directory, which may itself not be UTF-8.
        const QString dir = QDir::cleanPath(QDir(line.words[1]).absolutePath());
        const bool hasWeb = line.Has(QStringLiteral("http-path"));
        const QString web =
            hasWeb ? QDir::cleanPath(QDir(line.Value(QStringLiteral("http-path"))).absolutePath())
                   : QString();
        if ((hasWeb && !CLibraryEditor::CheckPathText(web, &error)) || !CLibraryEditor::Create(dir, &error))
            return Fail(err, error);
        bool written = RegWriteString(QStringLiteral("DatabasePath"), dir, g_pszRegKey) == kRegSuccess;
        if (hasWeb) {
            written = written && QDir().mkpath(web) &&
                      RegWriteString(QStringLiteral("HttpPath"), web, g_pszRegKey) == kRegSuccess;
        }
        if (line.Has(QStringLiteral("http-server")))
            written = written &&
                      RegWriteString(QStringLiteral("HttpServer"), line.Value(QStringLiteral("http-server")),
                                     g_pszRegKey) == kRegSuccess;
        if (!written)
            return Fail(err, QStringLiteral("Cannot write the machine settings %1.")
                                 .arg(RegistryFileForRoot(RegRoot::Machine)));
        out << "Library ready in " << dir << "\n";
        return 0;
    }
    if (command == QLatin1String("set")) {
        Allow(line, command, {QStringLiteral("dword")});
        ExpectWords(line, 3, 3, command);
        long status;
        if (line.Has(QStringLiteral("dword"))) {
            bool ok = false;
            const uint value = line.words[2].toUInt(&ok, 0);
            if (!ok)
                throw CUsageError(QStringLiteral("\"%1\" is not a 32-bit number.").arg(line.words[2]));
            status = RegWriteDword(line.words[1], value, g_pszRegKey);
        } else {
            status = RegWriteString(line.words[1], line.words[2], g_pszRegKey);
        }
        if (status != kRegSuccess)
            return Fail(err, QStringLiteral("Cannot write the machine settings %1.")
                                 .arg(RegistryFileForRoot(RegRoot::Machine)));
        return 0;
    }
    if (command == QLatin1String("get")) {
        Allow(line, command, {});
        ExpectWords(line, 2, 2, command);
        QString text;
        quint32 number = 0;
        if (RegReadString(line.words[1], text, 0xFFFFFFFFu, g_pszRegKey))
            out << text << "\n";
        else if (RegReadDword(line.words[1], &number, g_pszRegKey))
            out << number << "\n";
        else
            return Fail(err, QStringLiteral("%1 is not set.").arg(line.words[1]));
        return 0;
    }
    using LibraryCommand = int (*)(const CommandLine&, const QString&, QTextStream&, QTextStream&);
    const struct
    {
        const char* name;
        LibraryCommand run;
    } libraryCommands[] = {{"check", CheckCommand}, {"import", ImportCommand}, {"scan-uploads", ScanUploadsCommand}};
    for (const auto& c : libraryCommands) {
        if (command != QLatin1String(c.name))
            continue;
        const QString library = LibraryDirectory(line, &error);
        return library.isEmpty() ? Fail(err, error, 2) : c.run(line, library, out, err);
    }
    if (command != QLatin1String("area") && command != QLatin1String("group") &&
        command != QLatin1String("files") && command != QLatin1String("database"))
        throw CUsageError(QStringLiteral("Unknown command \"%1\".").arg(command));
    if (line.words.size() < 2)
        throw CUsageError(QStringLiteral("\"%1\" needs a verb.").arg(command));
    if (command == QLatin1String("database"))
        return DatabaseCommand(line, out, err);
    const QString library = LibraryDirectory(line, &error);
    if (library.isEmpty())
        return Fail(err, error);
    if (command == QLatin1String("files"))
        return FilesCommand(line, library, out, err);
    return command == QLatin1String("area") ? AreaCommand(line, library, out, err)
                                            : GroupCommand(line, library, out, err);
}

} // namespace

int RunSetup(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    try {
        return Run(ParseCommandLine(arguments), out, err);
    } catch (const CUsageError& e) {
        err << "troveport-setup: " << e.Text() << "\nTry \"troveport-setup --help\".\n";
        return 2;
    }
}

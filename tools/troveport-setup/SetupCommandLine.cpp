#include "SetupCommandLine.h"

#include "files/PathUtils.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"
#include "settings/Registry.h"
#include "startup/Startup.h"
#include "database/CTroveportDatabaseManager.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <limits>

namespace {

const QSet<QString> kValuedOptions = {QStringLiteral("library"),    QStringLiteral("machine-settings"),
                                      QStringLiteral("id"),         QStringLiteral("ftp-alias"),
                                      QStringLiteral("http-alias"), QStringLiteral("group"),
                                      QStringLiteral("name"),       QStringLiteral("path"),
                                      QStringLiteral("http-path"),  QStringLiteral("http-server"),
                                      QStringLiteral("database-connection"), QStringLiteral("area"),
                                      QStringLiteral("fix"),        QStringLiteral("move-to")};
// Options whose value may be empty: an empty alias or address clears it. Any other empty value is a
// slip (--machine-settings= would quietly mean the machine's real settings).
const QSet<QString> kMayBeEmptyOptions = {QStringLiteral("ftp-alias"), QStringLiteral("http-alias"),
                                          QStringLiteral("http-server")};
const QSet<QString> kFlagOptions = {QStringLiteral("help"),         QStringLiteral("demo"),
                                    QStringLiteral("dword"),        QStringLiteral("downloads"),
                                    QStringLiteral("no-downloads"), QStringLiteral("uploads"),
                                    QStringLiteral("no-uploads"),   QStringLiteral("local"),
                                    QStringLiteral("no-local"),     QStringLiteral("use"),
                                    QStringLiteral("checksums"),    QStringLiteral("json"),
                                    QStringLiteral("dry-run"),      QStringLiteral("subdirs"),
                                    QStringLiteral("descriptions"), QStringLiteral("post-clean"),
                                    QStringLiteral("local-copies")};

bool g_progressOnTerminal = false;

} // namespace

QStringList CommandLine::Values(const QString& name) const
{
    // QMultiMap hands values back newest first.
    QStringList values = options.values(name);
    std::reverse(values.begin(), values.end());
    return values;
}

CommandLine ParseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == QLatin1String("--")) {
            line.words += arguments.mid(i + 1);
            break;
        }
        if (!arg.startsWith(QLatin1String("--"))) {
            line.words.append(arg);
            continue;
        }
        QString name = arg.mid(2);
        QString value;
        const qsizetype eq = name.indexOf(QLatin1Char('='));
        const bool hasInlineValue = eq >= 0;
        if (hasInlineValue) {
            value = name.mid(eq + 1);
            name = name.left(eq);
        }
        if (kValuedOptions.contains(name)) {
            if (!hasInlineValue) {
                if (i + 1 >= arguments.size())
                    throw CUsageError(QStringLiteral("Option --%1 needs a value.").arg(name));
                value = arguments[++i];
            }
            if (value.isEmpty() && !kMayBeEmptyOptions.contains(name))
                throw CUsageError(QStringLiteral("Option --%1 needs a value.").arg(name));
            line.options.insert(name, value);
        } else if (kFlagOptions.contains(name) && !hasInlineValue) {
            line.options.insert(name, QString());
        } else {
            throw CUsageError(QStringLiteral("Unknown option %1.").arg(arg));
        }
    }
    return line;
}

// Options that apply to the command; any other given option is a mistake worth pointing out.
void Allow(const CommandLine& line, const QString& command, QSet<QString> allowed)
{
    allowed << QStringLiteral("library") << QStringLiteral("machine-settings");
    for (auto it = line.options.cbegin(); it != line.options.cend(); ++it) {
        if (!allowed.contains(it.key()))
            throw CUsageError(QStringLiteral("Option --%1 does not apply to \"%2\".").arg(it.key(), command));
    }
}

void ExpectWords(const CommandLine& line, qsizetype minimum, qsizetype maximum, const QString& command)
{
    if (line.words.size() < minimum || line.words.size() > maximum)
        throw CUsageError(QStringLiteral("Wrong number of arguments for \"%1\".").arg(command));
}

quint32 ParseAreaId(const QString& text)
{
    bool ok = false;
    const qulonglong id = text.toULongLong(&ok, 10);
    if (!ok || id == 0 || id > 0xFFFFFFFFull)
        throw CUsageError(
            QStringLiteral("\"%1\" is not an area id (a number from 1 to 4294967295).").arg(text));
    return quint32(id);
}

QString LibraryDirectory(const CommandLine& line, QString* error)
{
    if (line.Has(QStringLiteral("library")))
        return line.Value(QStringLiteral("library"));
    const QString path = RegGetString(QStringLiteral("DatabasePath"), g_pszRegKey);
    if (path.isEmpty())
        *error = QStringLiteral("No library is set up: DatabasePath is missing from %1. Create one with "
                                "\"troveport-setup init DIR\" or name it with --library DIR.")
                     .arg(RegistryFileForRoot(RegRoot::Machine));
    return path;
}

int Fail(QTextStream& err, const QString& error, int status)
{
    err << "troveport-setup: " << error << "\n";
    return status;
}

void UseLibraryDatabase(const QString& library)
{
    const QString connection = RegGetString(QStringLiteral("DatabaseConnection"), g_pszRegKey).trimmed();
    if (connection.isEmpty())
        theDatabaseManager.SetDatabaseFile(MakePath(library, QStringLiteral("troveport.db")));
    else
        theDatabaseManager.SetDatabaseConnection(connection);
}

bool OpenLibraryAsExplorer(const QString& library, QString* error)
{
    LoadStartupPaths();
    g_strDatabasePath = library;
    // Opening a missing table would make an empty one.
    if (!QFileInfo::exists(FileAreaTableName())) {
        *error = QStringLiteral("There is no file area table %1.").arg(FileAreaTableName());
        return false;
    }
    switch (OpenFileAreaTable()) {
    case AreaTableStatus::CannotAccess:
        *error = QStringLiteral("Cannot read the file area table %1.").arg(FileAreaTableName());
        return false;
    case AreaTableStatus::NoAreas:
        *error = QStringLiteral("The library in %1 has no file areas.").arg(library);
        return false;
    case AreaTableStatus::Ready:
        break;
    }
    UseLibraryDatabase(library);
    const QString file = MakePath(library, QStringLiteral("troveport.db"));
    if (theDatabaseManager.GetDatabaseConnection().isEmpty() && !QFileInfo::exists(file)) {
        *error = QStringLiteral("There is no database %1: the library has never been opened.").arg(file);
        return false;
    }
    return true;
}

void SetProgressOnTerminal(bool on)
{
    g_progressOnTerminal = on;
}

CProgressLine::CProgressLine(QTextStream& err) : m_err(err), m_on(g_progressOnTerminal) {}

void CProgressLine::Show(const QString& text, bool now)
{
    if (!m_on || (!now && m_since.isValid() && m_since.elapsed() < 100))
        return;
    m_since.start();
    // Padding covers the longer line before; a line wider than the terminal would wrap, so it is cut.
    const QString line = text.left(79);
    m_err << '\r' << line << QString(std::max<qsizetype>(0, m_shown - line.size()), u' ') << Qt::flush;
    m_shown = line.size();
}

void CProgressLine::Clear()
{
    if (!m_on || m_shown == 0)
        return;
    m_err << '\r' << QString(m_shown, u' ') << '\r' << Qt::flush;
    m_shown = 0;
}

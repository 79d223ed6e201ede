#include "startup/Startup.h"

#include "adding/PathUtils.h"
#include "startup/Globals.h"
#include "startup/Registry.h"

void LoadStartupPaths()
{
    QString value;
    g_strDatabasePath =
        RegReadString(QStringLiteral("DatabasePath"), value, kMaxPathBuffer, g_pszRegKey) ? value : QString();
    g_strDatabaseConnection = RegGetString(QStringLiteral("DatabaseConnection"), g_pszRegKey).trimmed();

    g_szHttpPath.clear();
    if (RegReadString(QStringLiteral("HttpPath"), value, kMaxPathBuffer, g_pszRegKey)) {
        g_szHttpPath = value;
        // A web root that already fills its buffer has no room for the separator; one without
        // the separator would make wrong review file names, so it is treated as not set.
        if (!g_szHttpPath.isEmpty() && !g_szHttpPath.endsWith(QLatin1Char('/'))) {
            if (g_szHttpPath.toUtf8().size() + 1 < kMaxPathBuffer)
                AddTrailingBackslash(g_szHttpPath);
            else
                g_szHttpPath.clear();
        }
    }
}

QString FileAreaTableName()
{
    return MakePath(g_strDatabasePath, QStringLiteral("Filearea.dat"));
}

AreaTableStatus OpenFileAreaTable()
{
    if (!theFileAreaTable.Open(FileAreaTableName(), 0))
        return AreaTableStatus::CannotAccess;
    if (theFileAreaTable.GetRecordCount() == 0) {
        theFileAreaTable.Close();
        return AreaTableStatus::NoAreas;
    }
    return AreaTableStatus::Ready;
}

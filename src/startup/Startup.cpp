#include "startup/Startup.h"

#include "files/PathUtils.h"
#include "settings/Globals.h"
#include "settings/Registry.h"

void LoadStartupPaths()
{
    // Paths are read whole, however long: a cut path would name another directory.
    QString value;
    g_strDatabasePath =
        RegReadString(QStringLiteral("DatabasePath"), value, kMaxSettingString, g_pszRegKey) ? value : QString();
    g_strDatabaseConnection = RegGetString(QStringLiteral("DatabaseConnection"), g_pszRegKey).trimmed();

    g_szHttpPath.clear();
    if (RegReadString(QStringLiteral("HttpPath"), value, kMaxSettingString, g_pszRegKey)) {
        g_szHttpPath = value;
        AddTrailingBackslash(g_szHttpPath);
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

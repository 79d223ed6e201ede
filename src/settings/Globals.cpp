#include "settings/Globals.h"

const char* const g_pszAppName = "Troveport Explorer";
const QString g_pszRegKey = QStringLiteral("HKLM\\Software\\Corvane Software\\Loomwell\\Troveport");
const QString g_pszExplorerRegKey =
    QStringLiteral("HKCU\\Software\\Corvane Software\\Loomwell\\Troveport\\Explorer");

QString g_strDatabasePath;
QString g_strDatabaseConnection;
QString g_szHttpPath;

CFileAreaTable theFileAreaTable;

#pragma once

#include "settings/CFileAreaTable.h"

#include <QString>

// The program's name: the caption of every message box shown without one of its own.
extern const char* const g_pszAppName;
// Machine key, written by troveport-setup and only read by the explorer.
extern const QString g_pszRegKey;
// The explorer's own per-user key (window layout).
extern const QString g_pszExplorerRegKey;

// Read once at start-up. The database directory is kept exactly as stored; the web root always
// ends in "/" when not empty.
extern QString g_strDatabasePath;
// A PostgreSQL connection URI; empty for the SQLite file in g_strDatabasePath.
extern QString g_strDatabaseConnection;
extern QString g_szHttpPath;

// Open, read-only, from start-up until the process ends.
extern CFileAreaTable theFileAreaTable;

#pragma once

#include <QString>

// The window-free steps of start-up, in the order the application runs them.

// Reads DatabasePath and HttpPath from the machine key into g_strDatabasePath and g_szHttpPath.
void LoadStartupPaths();

enum class AreaTableStatus
{
    Ready,        // open with at least its header record
    CannotAccess, // could not be opened: locked by troveport-setup, missing directory, no access
    NoAreas,      // open but empty (also when the open just created it)
};

// The file name of the area table: the database directory joined with "Filearea.dat".
QString FileAreaTableName();
// Opens theFileAreaTable; an empty table is closed again.
AreaTableStatus OpenFileAreaTable();

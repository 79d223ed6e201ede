#pragma once

// A demonstration library in a test's own directory, opened as the explorer opens its library.

#include "database/CTroveportDatabaseManager.h"
#include "DemoLibrary.h"
#include "startup/Globals.h"
#include "startup/Startup.h"
#include "TestSupport.h"

namespace DemoSupport {

// Makes the library under dir (settings files included) and opens its area table and database.
inline bool OpenDemoLibrary(const QString& dir, QString* error)
{
    TestSupport::UseSettingsFilesIn(dir);
    QTextStream out(stdout);
    if (!CreateDemoLibrary(dir + QStringLiteral("/demo"), out, error))
        return false;
    LoadStartupPaths();
    if (OpenFileAreaTable() != AreaTableStatus::Ready) {
        *error = QStringLiteral("the demonstration's area table does not open");
        return false;
    }
    theDatabaseManager.SetDatabaseFile(g_strDatabasePath + QStringLiteral("/troveport.db"));
    return true;
}

} // namespace DemoSupport

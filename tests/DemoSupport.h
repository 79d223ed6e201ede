#pragma once

// A demonstration library in a test's own directory, opened as the explorer opens its library.

#include "database/CTroveportDatabaseManager.h"
#include "DemoLibrary.h"
#include "startup/Globals.h"
#include "startup/Startup.h"
#include "TestSupport.h"

using namespace Qt::StringLiterals;

namespace DemoSupport {

// Makes the library under dir (settings files included) and opens its area table and database.
inline bool OpenDemoLibrary(const QString& dir, QString* error)
{
    TestSupport::UseSettingsFilesIn(dir);
    QTextStream out(stdout);
    if (!CreateDemoLibrary(dir + u"/demo"_s, out, error))
        return false;
    LoadStartupPaths();
    if (OpenFileAreaTable() != AreaTableStatus::Ready) {
        *error = u"the demonstration's area table does not open"_s;
        return false;
    }
    theDatabaseManager.SetDatabaseFile(g_strDatabasePath + u"/troveport.db"_s);
    return true;
}

} // namespace DemoSupport

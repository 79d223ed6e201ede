#pragma once

// A demonstration library in a test's own directory, opened as the explorer opens its library.

#include "database/CTroveportDatabaseManager.h"
#include "DatabaseSupport.h"
#include "DemoLibrary.h"
#include "settings/Globals.h"
#include "startup/Startup.h"
#include "TestSupport.h"

using namespace Qt::StringLiterals;

namespace DemoSupport {

// Makes the library under dir (settings files included) and opens its area table and database.
inline bool OpenDemoLibrary(const QString& dir, QString* error)
{
    TestSupport::UseSettingsFilesIn(dir);
    QTextStream out(stdout);
    // On PostgreSQL the demonstration's files go into the test's database, emptied first.
    const QString connection = DatabaseSupport::OnPostgres() ? DatabaseSupport::PostgresDatabaseUri() : QString();
    if (DatabaseSupport::OnPostgres())
        DatabaseSupport::UseFreshDatabase(dir);
    if (!CreateDemoLibrary(dir + u"/demo"_s, out, error, connection))
        return false;
    LoadStartupPaths();
    if (OpenFileAreaTable() != AreaTableStatus::Ready) {
        *error = u"the demonstration's area table does not open"_s;
        return false;
    }
    if (connection.isEmpty())
        theDatabaseManager.SetDatabaseFile(g_strDatabasePath + u"/troveport.db"_s);
    else
        theDatabaseManager.SetDatabaseConnection(connection);
    return true;
}

} // namespace DemoSupport

// The fixture of a test on the demonstration library, from initTestCase: skips without a server on
// PostgreSQL, then makes and opens the library in the QTemporaryDir.
#define TROVEPORT_OPEN_DEMO_LIBRARY(dir)                                                                     \
    do {                                                                                                     \
        TROVEPORT_REQUIRE_ENGINE();                                                                          \
        QVERIFY((dir).isValid());                                                                            \
        QString demoError;                                                                                   \
        QVERIFY2(DemoSupport::OpenDemoLibrary((dir).path(), &demoError), qPrintable(demoError));             \
    } while (false)

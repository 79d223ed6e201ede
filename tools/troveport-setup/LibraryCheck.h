#pragma once

#include "CheckFindings.h"

#include <QList>

class CProgressLine;

struct CheckOptions
{
    QList<quint32> areas; // only the records linked to these areas and these areas' directories; empty: all
    bool checksums = false;
};

// Checks the open library (theFileAreaTable, theDatabaseManager) as troveport-setup check does:
// reads the three tables with one statement each, looks up every local copy through the file
// layer and walks the directories of the areas that host files for entries no location names.
// Changes nothing but the checksum table (with checksums). Throws CDBException when the database
// cannot be read or the checksums cannot be stored (a lock the site holds included).
CheckResult CheckLibrary(const CheckOptions& options, CProgressLine& progress);

#pragma once

#include "adding/addfiles/AddFilesImport.h"
#include "files/PathUtils.h"

#include <QString>
#include <QStringList>

// What the Add Files wizard's first page chooses and its progress page's worker imports. The
// worker reads it while the window thread leaves it alone.
struct AddFilesChoice
{
    QStringList files;
    // The results lines of what the collection could not take; the import's results begin with them.
    QString collectionRefusals;
    AddFilesHost host;
    bool extractDescriptions = false;

    void SetHost(const AddFilesHost& area)
    {
        host = area;
        AddTrailingBackslash(host.directory);
    }
};

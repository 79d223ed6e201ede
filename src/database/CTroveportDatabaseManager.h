#pragma once

#include "database/CDatabaseManager.h"

#include <QList>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

// The file library's database: tables files, download and file_area (see docs/database.md).
// Operations that answer with a boolean or a count catch database errors, log them and report
// failure; they never throw.
class CTroveportDatabaseManager : public CDatabaseManager
{
public:
    explicit CTroveportDatabaseManager(bool createSchema) : CDatabaseManager(createSchema) {}

    // The number of files linked to the area; 0 when the database cannot answer.
    int GetNumberOfFilesInArea(double areaId);
    // True when no file has this download location.
    bool IsDownloadURLUnique(const QString& url);
    // Every download location of the file, in the order they were added.
    bool GetDownloadURLs(double fileId, QStringList& urls);
    // Every area the file belongs to, in increasing order.
    bool GetAreaIDsForFile(double fileId, QList<double>& areaIds);
    // How many rows of files have this id: a table the site made without a key can hold several.
    // None when the database cannot answer.
    std::optional<qint64> CountFileRows(double fileId);
    // Calls visit with the title and the location of every location of a file other than fileId
    // whose text ends in name, until visit returns false. No index serves the match: every location
    // is read. Throws CDBException.
    void ForEachLocationEndingIn(double fileId, const QString& name,
                                 const std::function<bool(const QString& title, const QString& url)>& visit);

private:
    // The first column of every row a one-parameter statement gives; false (logged) on failure.
    bool QueryColumn(const QString& statement, const QVariant& value, QVariantList* column);
};

// Why a file must not be edited or deleted as one file: "The database holds 2 files with the id
// 7: ...", or empty when exactly one row has its id (or the database cannot tell, which the
// operation itself then reports).
QString DuplicateFileIdMessage(CTroveportDatabaseManager& manager, double fileId);

extern CTroveportDatabaseManager theDatabaseManager;

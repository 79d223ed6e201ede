#pragma once

#include "CheckFindings.h"

#include <QList>
#include <QSet>
#include <QString>

// The safe repairs of troveport-setup check --fix, made after the check found what to repair.
// None deletes a file or a file record.

struct FixOptions
{
    bool missingLocations = false; // remove local locations whose file is gone
    bool areaLinks = false;        // remove links to areas the table no longer has
    bool orphanFiles = false;      // move orphan files to moveTo/<area id>/<path>
    QString moveTo;
    bool dryRun = false;           // say what would be done, change nothing
};

// One repair, done or not.
struct FixAction
{
    QString fix;        // "missing-locations", "area-links", "orphan-files"
    qint64 fileId = 0;
    QString title;
    qint64 areaId = 0;
    QString url;
    QString path;       // the orphan's path in its area
    QString target;     // where the orphan goes
    bool done = false;  // never with a dry run
    QString note;       // why it was not done, or what stays (a record left with no location)
};

// Parses the --fix values; throws CUsageError for an unknown kind or orphan-files without --move-to.
FixOptions ParseFixOptions(const QStringList& kinds, const QString& moveTo, bool dryRun);

// Makes the repairs the options ask for, for the findings that call for them, appending each to
// *actions as it is made and noting the indexes of the findings repaired. Throws CDBException when
// the database refuses a removal (a lock the site holds included); *actions then holds what was done.
void ApplyFixes(const FixOptions& options, const CheckResult& result, QSet<qsizetype>* repaired,
                QList<FixAction>* actions);

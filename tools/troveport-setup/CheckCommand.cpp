#include "CheckCommand.h"

#include "CheckFixes.h"
#include "CheckReport.h"
#include "LibraryCheck.h"
#include "database/CDBException.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/SafeFormat.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"
#include "startup/Startup.h"

#include <QSet>

int CheckCommand(const CommandLine& line, const QString& library, QTextStream& out, QTextStream& err)
{
    Allow(line, QStringLiteral("check"),
          {QStringLiteral("area"), QStringLiteral("checksums"), QStringLiteral("json"), QStringLiteral("fix"),
           QStringLiteral("dry-run"), QStringLiteral("move-to")});
    ExpectWords(line, 1, 1, QStringLiteral("check"));
    CheckOptions options;
    options.checksums = line.Has(QStringLiteral("checksums"));
    for (const QString& id : line.Values(QStringLiteral("area")))
        options.areas.append(ParseAreaId(id));
    const QStringList fixKinds = line.Values(QStringLiteral("fix"));
    const FixOptions fixOptions =
        ParseFixOptions(fixKinds, line.Value(QStringLiteral("move-to")), line.Has(QStringLiteral("dry-run")));
    const bool json = line.Has(QStringLiteral("json"));

    QString error;
    if (!OpenLibraryAsExplorer(library, &error))
        return Fail(err, error, 2);
    for (quint32 id : std::as_const(options.areas)) {
        if (!theFileAreaTable.FindArea(id))
            throw CUsageError(SafeFormat(u"There is no area %d in %s.", id, FileAreaTableName()));
    }

    CheckResult result;
    QList<FixAction> actions;
    QSet<qsizetype> repaired;
    try {
        CProgressLine progress(err);
        result = CheckLibrary(options, progress);
    } catch (const CDBException& e) {
        return Fail(err, SafeFormat(u"The check of %s could not be completed: %s", theDatabaseManager.GetDatabaseName(),
                                    e.GetErrorText()),
                    2);
    }
    int status = result.findings.isEmpty() ? 0 : 1;
    const bool fixing = !fixKinds.isEmpty();
    QString fixError;
    if (fixing) {
        try {
            ApplyFixes(fixOptions, result, &repaired, &actions);
        } catch (const CDBException& e) {
            fixError = SafeFormat(u"The fixes stopped: %s", e.GetErrorText());
        }
        if (!fixOptions.dryRun)
            status = result.findings.size() > repaired.size() ? 1 : 0;
    }
    const qsizetype remaining = result.findings.size() - repaired.size();
    if (json)
        out << QString::fromUtf8(JsonReport(result, fixing ? &actions : nullptr, fixOptions.dryRun, remaining));
    else
        WriteTextReport(result, fixing ? &actions : nullptr, fixOptions.dryRun, remaining, out);
    out.flush();
    if (!fixError.isEmpty())
        return Fail(err, fixError, 2);
    return status;
}

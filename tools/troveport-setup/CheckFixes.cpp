#include "CheckFixes.h"

#include "AreaLocator.h"
#include "SetupCommandLine.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/SafeFormat.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"

#include <QDir>
#include <QHash>
#include <QSqlQuery>
#include <QVariant>

#include <cerrno>

namespace {

qint64 LocationCount(qint64 fileId)
{
    qint64 count = 0;
    theDatabaseManager.ForEachRow(QStringLiteral("SELECT count(*) FROM download WHERE file_id = ?"), {fileId},
                                  [&](const QSqlQuery& query) { count = query.value(0).toLongLong(); });
    return count;
}

class CFixer
{
public:
    CFixer(const FixOptions& options, QSet<qsizetype>* repaired, QList<FixAction>* actions)
        : m_options(options), m_repaired(repaired), m_actions(actions)
    {
    }

    void MissingLocation(const Finding& finding, qsizetype index);
    void AreaLink(const Finding& finding, qsizetype index);
    void Orphan(const Finding& finding, qsizetype index);

private:
    FixAction& Act(const QString& fix, const Finding& finding);
    void Done(FixAction& action, qsizetype index)
    {
        action.done = true;
        m_repaired->insert(index);
    }

    const FixOptions& m_options;
    QSet<qsizetype>* m_repaired;
    QList<FixAction>* m_actions;
    CAreaLocator m_locator;
    QHash<qint64, qint64> m_locationsLeft; // for a dry run: what a record would keep
    CSafeDirectory m_moveTo;
};

FixAction& CFixer::Act(const QString& fix, const Finding& finding)
{
    FixAction action;
    action.fix = fix;
    action.fileId = finding.fileId;
    action.title = finding.title;
    action.areaId = finding.areaId;
    action.url = finding.url;
    m_actions->append(std::move(action));
    return m_actions->last();
}

void CFixer::MissingLocation(const Finding& finding, qsizetype index)
{
    FixAction& action = Act(QStringLiteral("missing-locations"), finding);
    // The site may have put the file back since the check looked.
    const FileAreaRecord* area = theFileAreaTable.FindArea(quint32(finding.areaId));
    if (!area) {
        action.note = QStringLiteral("its area is no longer in the table");
        return;
    }
    QByteArray leaf;
    FileFault fault;
    const CSafeDirectory* parent = m_locator.ParentOf(area->AreaId(), area->Path(), finding.path, &leaf, &fault);
    if (parent && parent->StatEntry(leaf, &fault)) {
        action.note = QStringLiteral("the file is there again");
        return;
    }
    if (fault.kind != FileFault::Kind::System || (fault.error != ENOENT && fault.error != ENOTDIR)) {
        action.note = SafeFormat(u"the file could not be checked again: %s", fault.Message());
        return;
    }
    if (!m_locationsLeft.contains(finding.fileId))
        m_locationsLeft.insert(finding.fileId, LocationCount(finding.fileId));
    if (!m_options.dryRun) {
        theDatabaseManager.Run(QStringLiteral("DELETE FROM download WHERE file_id = ? AND url = ?"),
                               {finding.fileId, finding.url});
        CDatabaseManager::NoteWrite();
        Done(action, index);
    }
    if (--m_locationsLeft[finding.fileId] <= 0)
        action.note = QStringLiteral("the record stays, with no location left");
}

void CFixer::AreaLink(const Finding& finding, qsizetype index)
{
    FixAction& action = Act(QStringLiteral("area-links"), finding);
    if (m_options.dryRun)
        return;
    theDatabaseManager.Run(QStringLiteral("DELETE FROM file_area WHERE file_id = ? AND area_id = ?"),
                           {finding.fileId, finding.areaId});
    CDatabaseManager::NoteWrite();
    Done(action, index);
}

void CFixer::Orphan(const Finding& finding, qsizetype index)
{
    FixAction& action = Act(QStringLiteral("orphan-files"), finding);
    action.path = finding.path;
    const QString relativeTarget = QString::number(finding.areaId) + u'/' + finding.path;
    action.target = JoinPath(m_options.moveTo, relativeTarget);
    if (m_options.dryRun)
        return;
    const FileAreaRecord* area = theFileAreaTable.FindArea(quint32(finding.areaId));
    if (!area) {
        action.note = QStringLiteral("its area is no longer in the table");
        return;
    }
    if (!m_moveTo.IsOpen()) {
        // The administrator's own directory, by its path.
        if (!QDir().mkpath(m_options.moveTo)) {
            action.note = SafeFormat(u"%s could not be made", m_options.moveTo);
            return;
        }
        m_moveTo = CSafeDirectory::Open(m_options.moveTo);
        if (!m_moveTo.IsOpen()) {
            action.note = m_moveTo.Fault().Message();
            return;
        }
    }
    QByteArray leaf;
    FileFault fault;
    const CSafeDirectory* from = m_locator.ParentOf(area->AreaId(), area->Path(), finding.path, &leaf, &fault);
    if (!from) {
        action.note = fault.Message();
        return;
    }
    const qsizetype slash = relativeTarget.lastIndexOf(u'/');
    const CSafeDirectory to = m_moveTo.DescendMaking(QStringView(relativeTarget).left(slash), 0755);
    if (!to.IsOpen()) {
        action.note = to.Fault().Message();
        return;
    }
    if (from->MoveWithoutReplacing(leaf, to, leaf, &fault)) {
        Done(action, index);
        return;
    }
    if (fault.kind == FileFault::Kind::System && fault.error == EEXIST)
        action.note = QStringLiteral("something of that name is there already; left where it is");
    else if (fault.kind == FileFault::Kind::System && fault.error == EXDEV)
        action.note = QStringLiteral("the target is on another file system; left where it is");
    else
        action.note = fault.Message();
}

} // namespace

FixOptions ParseFixOptions(const QStringList& kinds, const QString& moveTo, bool dryRun)
{
    FixOptions options;
    options.dryRun = dryRun;
    options.moveTo = moveTo;
    for (const QString& kind : kinds) {
        if (kind == u"missing-locations")
            options.missingLocations = true;
        else if (kind == u"area-links")
            options.areaLinks = true;
        else if (kind == u"orphan-files")
            options.orphanFiles = true;
        else
            throw CUsageError(QStringLiteral("Unknown fix \"%1\": missing-locations, area-links or orphan-files.").arg(kind));
    }
    if (options.orphanFiles && moveTo.isEmpty())
        throw CUsageError(QStringLiteral("--fix orphan-files needs --move-to DIR, the directory the orphans are moved to."));
    if (!moveTo.isEmpty() && !options.orphanFiles)
        throw CUsageError(QStringLiteral("--move-to applies only to --fix orphan-files."));
    if (dryRun && kinds.isEmpty())
        throw CUsageError(QStringLiteral("--dry-run applies only with --fix."));
    return options;
}

void ApplyFixes(const FixOptions& options, const CheckResult& result, QSet<qsizetype>* repaired,
                QList<FixAction>* actions)
{
    CFixer fixer(options, repaired, actions);
    for (qsizetype i = 0; i < result.findings.size(); ++i) {
        const Finding& finding = result.findings[i];
        if (options.missingLocations && finding.kind == FindingKind::MissingFile)
            fixer.MissingLocation(finding, i);
        else if (options.areaLinks && finding.kind == FindingKind::UnknownAreaLink)
            fixer.AreaLink(finding, i);
        else if (options.orphanFiles && finding.kind == FindingKind::OrphanFile)
            fixer.Orphan(finding, i);
    }
}

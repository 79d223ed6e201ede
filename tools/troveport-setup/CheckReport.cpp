#include "CheckReport.h"

#include "files/SafeFormat.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>

namespace {

constexpr int kReportFormat = 1;

// What follows the location and path on a finding's line.
QString Detail(const Finding& f)
{
    switch (f.kind) {
    case FindingKind::NotRegular:
        return SafeFormat(u"is a %s", f.entryType);
    case FindingKind::SizeMismatch:
        return SafeFormat(u"record says %d bytes, the file has %d", f.recordSize, f.diskSize);
    case FindingKind::OrphanFile:
        return f.diskSize >= 0 ? SafeFormat(u"%s, %d bytes", f.entryType, f.diskSize) : f.entryType;
    case FindingKind::Changed:
        return SafeFormat(u"sha256 was %s (checked %s), now %s", f.oldSha256,
                          QDateTime::fromSecsSinceEpoch(f.oldCheckedAt, Qt::UTC).toString(u"yyyy-MM-dd HH:mm 'UTC'"),
                          f.newSha256);
    case FindingKind::DuplicateContent: {
        QStringList copies;
        for (const auto& [id, url] : f.copies)
            copies.append(SafeFormat(u"file %d %s", id, ElideStoredText(url, 120)));
        return SafeFormat(u"sha256 %s: %s", f.newSha256, copies.join(QStringLiteral("; ")));
    }
    default:
        return f.reason;
    }
}

QString FindingLine(const Finding& f)
{
    QStringList parts;
    if (f.fileId != 0 || f.kind == FindingKind::NoArea)
        parts.append(SafeFormat(u"file %d \"%s\"", f.fileId, ElideStoredText(f.title, 60)));
    if (!f.url.isEmpty() && f.kind != FindingKind::DuplicateContent)
        parts.append(ElideStoredText(f.url, 200));
    if (f.url.isEmpty() && f.areaId != 0)
        parts.append(SafeFormat(u"area %d", f.areaId));
    if (!f.diskPath.isEmpty())
        parts.append(ElideStoredText(f.diskPath, 200));
    const QString detail = Detail(f);
    if (!detail.isEmpty())
        parts.append(detail);
    return QStringLiteral("  ") + parts.join(QStringLiteral("  "));
}

QString FixLine(const FixAction& a, bool dryRun)
{
    QString what;
    if (a.fix == u"missing-locations")
        what = SafeFormat(u"remove the location %s of file %d \"%s\"", ElideStoredText(a.url, 200), a.fileId,
                          ElideStoredText(a.title, 60));
    else if (a.fix == u"area-links")
        what = SafeFormat(u"remove the link of file %d \"%s\" to area %d", a.fileId, ElideStoredText(a.title, 60),
                          a.areaId);
    else
        what = SafeFormat(u"move %s of area %d to %s", ElideStoredText(a.path, 200), a.areaId,
                          ElideStoredText(a.target, 200));
    QString line = SafeFormat(dryRun ? u"  Would %s" : a.done ? u"  Done: %s" : u"  Not done: %s", what);
    if (!a.note.isEmpty())
        line += SafeFormat(u" (%s)", a.note);
    return line;
}

QString SummaryLine(const CheckResult& result)
{
    const CheckCounts& c = result.counts;
    QString counted = SafeFormat(u"Checked %d files, %d locations, %d files on disk", c.files, c.locations,
                                 c.filesOnDisk);
    if (c.checksummed > 0)
        counted += SafeFormat(u" (%d checksums of %s)", c.checksummed,
                              QLocale::c().formattedDataSize(c.bytesHashed, 1, QLocale::DataSizeTraditionalFormat));
    if (result.findings.isEmpty())
        return counted + QStringLiteral(": the library is whole.");
    return counted + SafeFormat(u": %d problems found.", result.findings.size());
}

QJsonValue OptionalId(qint64 id)
{
    return id != 0 ? QJsonValue(double(id)) : QJsonValue();
}

QJsonObject FindingObject(const Finding& f)
{
    QJsonObject o{{QStringLiteral("kind"), KindName(f.kind)},
                  {QStringLiteral("file_id"), f.fileId != 0 || f.kind == FindingKind::NoArea ? QJsonValue(double(f.fileId)) : QJsonValue()},
                  {QStringLiteral("title"), f.title},
                  {QStringLiteral("url"), f.url},
                  {QStringLiteral("area_id"), OptionalId(f.areaId)},
                  {QStringLiteral("path"), f.path}};
    if (!f.diskPath.isEmpty())
        o.insert(QStringLiteral("disk_path"), f.diskPath);
    if (!f.entryType.isEmpty())
        o.insert(QStringLiteral("type"), f.entryType);
    if (f.recordSize >= 0)
        o.insert(QStringLiteral("record_size"), double(f.recordSize));
    if (f.diskSize >= 0)
        o.insert(QStringLiteral("disk_size"), double(f.diskSize));
    if (!f.reason.isEmpty())
        o.insert(QStringLiteral("reason"), f.reason);
    if (f.kind == FindingKind::Changed) {
        o.insert(QStringLiteral("old_sha256"), f.oldSha256);
        o.insert(QStringLiteral("new_sha256"), f.newSha256);
        o.insert(QStringLiteral("old_checked_at"), double(f.oldCheckedAt));
    }
    if (f.kind == FindingKind::DuplicateContent) {
        o.insert(QStringLiteral("sha256"), f.newSha256);
        QJsonArray copies;
        for (const auto& [id, url] : f.copies)
            copies.append(QJsonObject{{QStringLiteral("file_id"), double(id)}, {QStringLiteral("url"), url}});
        o.insert(QStringLiteral("copies"), copies);
    }
    return o;
}

QJsonObject FixObject(const FixAction& a)
{
    QJsonObject o{{QStringLiteral("fix"), a.fix},
                  {QStringLiteral("file_id"), OptionalId(a.fileId)},
                  {QStringLiteral("area_id"), OptionalId(a.areaId)},
                  {QStringLiteral("done"), a.done}};
    if (!a.url.isEmpty())
        o.insert(QStringLiteral("url"), a.url);
    if (!a.path.isEmpty())
        o.insert(QStringLiteral("path"), a.path);
    if (!a.target.isEmpty())
        o.insert(QStringLiteral("target"), a.target);
    if (!a.note.isEmpty())
        o.insert(QStringLiteral("note"), a.note);
    return o;
}

} // namespace

void WriteTextReport(const CheckResult& result, const QList<FixAction>* fixes, bool dryRun, qsizetype remaining,
                     QTextStream& out)
{
    for (qsizetype i = 0; i < result.findings.size();) {
        const FindingKind kind = result.findings[i].kind;
        qsizetype end = i;
        while (end < result.findings.size() && result.findings[end].kind == kind)
            ++end;
        out << SafeFormat(u"%s (%s): %d\n", KindHeading(kind), KindName(kind), end - i);
        for (; i < end; ++i)
            out << FindingLine(result.findings[i]) << '\n';
        out << '\n';
    }
    if (fixes) {
        out << (dryRun ? "Fixes (dry run, nothing changed):\n" : "Fixes:\n");
        if (fixes->isEmpty())
            out << "  Nothing to do.\n";
        for (const FixAction& action : *fixes)
            out << FixLine(action, dryRun) << '\n';
        out << '\n';
    }
    out << SummaryLine(result) << '\n';
    if (fixes && !dryRun)
        out << SafeFormat(u"After the fixes, %d problems remain.\n", remaining);
}

QByteArray JsonReport(const CheckResult& result, const QList<FixAction>* fixes, bool dryRun, qsizetype remaining)
{
    const CheckCounts& c = result.counts;
    QJsonObject counts{{QStringLiteral("files"), double(c.files)},
                       {QStringLiteral("locations"), double(c.locations)},
                       {QStringLiteral("files_on_disk"), double(c.filesOnDisk)},
                       {QStringLiteral("checksummed"), double(c.checksummed)},
                       {QStringLiteral("bytes_hashed"), double(c.bytesHashed)},
                       {QStringLiteral("problems"), double(result.findings.size())}};
    QJsonArray findings;
    for (const Finding& finding : result.findings)
        findings.append(FindingObject(finding));
    QJsonObject report{{QStringLiteral("format"), kReportFormat},
                       {QStringLiteral("counts"), counts},
                       {QStringLiteral("findings"), findings}};
    if (fixes) {
        QJsonArray actions;
        for (const FixAction& action : *fixes)
            actions.append(FixObject(action));
        report.insert(QStringLiteral("dry_run"), dryRun);
        report.insert(QStringLiteral("fixes"), actions);
        report.insert(QStringLiteral("remaining"), double(dryRun ? result.findings.size() : remaining));
    }
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}

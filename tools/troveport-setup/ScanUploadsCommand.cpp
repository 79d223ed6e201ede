#include "ScanUploadsCommand.h"

#include "database/CDBException.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/SafeFormat.h"
#include "uploads/UploadScan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

// The version of the --json document; raised when a field changes meaning or goes away.
constexpr int kReportFormat = 1;

// What became of one upload in this run.
struct UploadOutcome
{
    QString refusal;   // why it is not posted unattended; empty when it may be
    bool posted = false;
    QString postError; // the database did not take it
};

QString VerdictWord(VirusVerdict::Kind kind)
{
    switch (kind) {
    case VirusVerdict::Kind::Clean:
        return QStringLiteral("clean");
    case VirusVerdict::Kind::Infected:
        return QStringLiteral("infected");
    case VirusVerdict::Kind::NotChecked:
        return QStringLiteral("not checked");
    case VirusVerdict::Kind::NoChecker:
        break;
    }
    return QStringLiteral("no checker");
}

// Why the command leaves the upload waiting. Stricter than the dialog, where an administrator
// looks at each upload: without a person, only what the checker found clean is posted.
QString UnattendedRefusal(const CPendingUpload& upload)
{
    if (upload.IsSafe() && upload.virus.kind == VirusVerdict::Kind::NoChecker)
        return QStringLiteral("No virus checker is set up (VirusChecker): only uploads found clean are posted "
                              "without a person; post it from Troveport Explorer.");
    return CheckUploadPostable(upload);
}

// A visitor's text in one column of a line: no tab or line break of its own.
QString Cell(const QString& text)
{
    QString cell = text;
    for (QChar& c : cell) {
        if (c.category() == QChar::Other_Control)
            c = u' ';
    }
    return cell;
}

QString VerdictText(const CPendingUpload& upload)
{
    const VirusVerdict& verdict = upload.virus;
    QString text = VerdictWord(verdict.kind);
    if (verdict.kind == VirusVerdict::Kind::Infected && verdict.exitCode)
        text += SafeFormat(u" (exit code %u)", *verdict.exitCode);
    if (!verdict.reason.isEmpty())
        text += QStringLiteral(": ") + verdict.reason;
    return text;
}

QString StateText(const UploadOutcome& outcome, bool posting)
{
    if (outcome.posted)
        return QStringLiteral("posted");
    if (!outcome.postError.isEmpty())
        return QStringLiteral("not posted: ") + outcome.postError;
    if (outcome.refusal.isEmpty())
        return posting ? QStringLiteral("not posted") : QStringLiteral("can be posted");
    return QStringLiteral("waits: ") + outcome.refusal;
}

void WriteText(const CPendingUploadArray& uploads, const QList<UploadOutcome>& outcomes, bool posting,
               QTextStream& out)
{
    if (uploads.isEmpty()) {
        out << "No new files found to process.\n";
        return;
    }
    out << "AREA\tFILE\tTITLE\tSIZE\tVIRUS CHECK\tSTATE\n";
    for (qsizetype i = 0; i < uploads.size(); ++i) {
        const CPendingUpload& upload = uploads[i];
        const QString file = upload.IsSafe() ? upload.file_name : QStringLiteral("unsafe: ") + upload.unsafe_reason;
        out << qint64(upload.area_id) << '\t' << Cell(file) << '\t' << Cell(upload.title) << '\t'
            << qint64(upload.file_size) << '\t' << Cell(VerdictText(upload)) << '\t'
            << Cell(StateText(outcomes[i], posting)) << '\n';
    }
    const auto posted = std::count_if(outcomes.cbegin(), outcomes.cend(), [](const UploadOutcome& o) { return o.posted; });
    out << SafeFormat(u"%d upload(s) posted, %d waiting.\n", qint64(posted), qint64(uploads.size() - posted));
}

QJsonValue TextOrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

void WriteJson(const CPendingUploadArray& uploads, const QList<UploadOutcome>& outcomes, int waiting,
               QTextStream& out)
{
    static const char* const kVerdictKeys[] = {"no-checker", "clean", "infected", "not-checked"};
    QJsonArray list;
    int posted = 0;
    for (qsizetype i = 0; i < uploads.size(); ++i) {
        const CPendingUpload& upload = uploads[i];
        const UploadOutcome& outcome = outcomes[i];
        posted += outcome.posted ? 1 : 0;
        QJsonObject virus{{QStringLiteral("verdict"), QLatin1String(kVerdictKeys[int(upload.virus.kind)])},
                          {QStringLiteral("exit_code"), upload.virus.exitCode ? QJsonValue(qint64(*upload.virus.exitCode))
                                                                              : QJsonValue()},
                          {QStringLiteral("reason"), TextOrNull(upload.virus.reason)}};
        list.append(QJsonObject{
            {QStringLiteral("area"), qint64(upload.area_id)},
            {QStringLiteral("path"), upload.upload_path},
            {QStringLiteral("file"), upload.IsSafe() ? QJsonValue(upload.file_name) : QJsonValue()},
            {QStringLiteral("unsafe"), TextOrNull(upload.unsafe_reason)},
            {QStringLiteral("title"), upload.title},
            {QStringLiteral("size"), qint64(upload.file_size)},
            {QStringLiteral("virus"), virus},
            {QStringLiteral("postable"), outcome.refusal.isEmpty() && outcome.postError.isEmpty()},
            {QStringLiteral("refusal"), TextOrNull(outcome.refusal)},
            {QStringLiteral("posted"), outcome.posted},
            {QStringLiteral("post_error"), TextOrNull(outcome.postError)},
        });
    }
    const QJsonObject report{{QStringLiteral("format"), kReportFormat},
                             {QStringLiteral("uploads"), list},
                             {QStringLiteral("posted"), posted},
                             {QStringLiteral("waiting"), waiting}};
    out << QString::fromUtf8(QJsonDocument(report).toJson(QJsonDocument::Indented));
}

} // namespace

int ScanUploadsCommand(const CommandLine& line, const QString& library, QTextStream& out, QTextStream& err)
{
    Allow(line, QStringLiteral("scan-uploads"), {QStringLiteral("json"), QStringLiteral("post-clean")});
    ExpectWords(line, 1, 1, QStringLiteral("scan-uploads"));
    const bool posting = line.Has(QStringLiteral("post-clean"));
    QString error;
    if (!OpenLibraryAsExplorer(library, &error))
        return Fail(err, error, 2);
    // Whether the database answers is known before minutes of virus checks, not after.
    try {
        theDatabaseManager.GetConnection();
    } catch (const CDBException& e) {
        theDatabaseManager.CloseConnection();
        return Fail(err, e.GetErrorText(), 2);
    }

    CPendingUploadArray uploads;
    {
        CProgressLine progress(err);
        ScanUploadAreas(uploads, [&](const QString& descriptionPath, int index, int total) {
            progress.Show(UploadScanProgressText(descriptionPath, index, total));
            return true;
        });
    }

    QList<UploadOutcome> outcomes(uploads.size());
    int waiting = 0;
    bool refusedByDatabase = false;
    for (qsizetype i = 0; i < uploads.size(); ++i) {
        UploadOutcome& outcome = outcomes[i];
        outcome.refusal = UnattendedRefusal(uploads[i]);
        if (posting && outcome.refusal.isEmpty()) {
            QString refusal;
            UploadPosting result = UploadPosting::Failed;
            try {
                result = PostUpload(uploads[i], &refusal);
            } catch (const CDBException& e) {
                refusal = e.GetErrorText();
            }
            if (result == UploadPosting::Posted) {
                outcome.posted = true;
            } else if (result == UploadPosting::Refused) {
                // Changed since its check: the reason, not the dialog's advice, goes in the list.
                outcome.refusal = uploads[i].unsafe_reason.isEmpty() ? refusal : uploads[i].unsafe_reason;
            } else {
                outcome.postError = refusal.isEmpty()
                                        ? QStringLiteral("The database did not take the file's record.")
                                        : refusal;
                refusedByDatabase = true;
            }
        }
        waiting += outcome.posted ? 0 : 1;
    }
    theDatabaseManager.CloseConnection();

    if (line.Has(QStringLiteral("json")))
        WriteJson(uploads, outcomes, waiting, out);
    else
        WriteText(uploads, outcomes, posting, out);
    out << Qt::flush;
    if (refusedByDatabase)
        return Fail(err, QStringLiteral("The database refused to post some uploads; their lines say why."), 2);
    return waiting > 0 ? 1 : 0;
}

// troveport-setup import and scan-uploads beside the explorer's own ways of doing the same: the Add
// Files wizard and the Scan for new files dialog, given the same input, must leave the same records,
// files and results; and the commands refuse what the explorer refuses.

#include "AddFilesSupport.h"
#include "CheckerSupport.h"
#include "DatabaseSupport.h"
#include "DialogSupport.h"
#include "ImportCommand.h"
#include "SetupCommands.h"
#include "TestSupport.h"
#include "adding/addfiles/FileCollection.h"
#include "controls/CHighlightList.h"
#include "uploads/CScanNewFilesDialog.h"
#include "uploads/UploadScan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>

#include <algorithm>
#include <csignal>
#include <signal.h>

using namespace AddFilesSupport;
using namespace Qt::StringLiterals;

namespace {

constexpr quint32 kIncoming = 7; // "Incoming Uploads"
constexpr quint32 kArcade = 2;   // its files are kept elsewhere

QString ArchivePath(const QString& relative)
{
    return qEnvironmentVariable("TROVEPORT_TESTDATA") + u"/bbs-archives/"_s + relative;
}

QVariantList Column(const QString& statement, const QVariant& value)
{
    QSqlQuery query(theDatabaseManager.GetConnection());
    query.prepare(statement);
    query.addBindValue(value);
    QVariantList values;
    if (query.exec())
        while (query.next())
            values.append(query.value(0));
    return values;
}

qint64 LastFileId()
{
    QSqlQuery query(theDatabaseManager.GetConnection());
    return query.exec(u"SELECT COALESCE(MAX(file_id), 0) FROM files"_s) && query.next() ? query.value(0).toLongLong()
                                                                                         : -1;
}

// Every file added after the file id, in the order added: its fields, locations and areas. The date
// only when asked: a posted upload is dated by the clock.
QStringList FilesAfter(qint64 lastId, bool withDate = true)
{
    QStringList rows;
    QSqlQuery query(theDatabaseManager.GetConnection());
    query.prepare(u"SELECT file_id, title, file_size, file_date, short_desc, long_desc, upld_name, upld_email, "
                  u"version, requires_form FROM files WHERE file_id > ? ORDER BY file_id"_s);
    query.addBindValue(lastId);
    if (!query.exec())
        return {u"failed"_s};
    while (query.next()) {
        QStringList fields;
        for (int i = 1; i < 10; ++i)
            fields.append(i == 3 && !withDate ? QString() : query.value(i).toString());
        QStringList urls, areas;
        for (const QVariant& v : Column(u"SELECT url FROM download WHERE file_id = ? ORDER BY url"_s, query.value(0)))
            urls.append(v.toString());
        for (const QVariant& v :
             Column(u"SELECT area_id FROM file_area WHERE file_id = ? ORDER BY area_id"_s, query.value(0)))
            areas.append(v.toString());
        rows.append(fields.join(u'|') + u" @ "_s + urls.join(u',') + u" in "_s + areas.join(u','));
    }
    return rows;
}

QStringList Added(const QStringList& before, const QStringList& after)
{
    QStringList added = after;
    for (const QString& path : before)
        added.removeOne(path);
    return added;
}

QString PlainLines(QString log)
{
    return log.replace(u"\r\n"_s, u"\n"_s);
}

} // namespace

class TestUnattended : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_source;
    std::unique_ptr<CWizardRunner> m_library;
    QString m_out, m_err;

    QString Source(const QString& relative) const { return m_source.filePath(relative); }

    // A new demonstration library, the one before it closed; none of its own uploads wait.
    void NewLibrary()
    {
        theDatabaseManager.CloseConnection();
        m_library = std::make_unique<CWizardRunner>();
        QString error;
        QVERIFY2(m_library->Open(&error), qPrintable(error));
        for (quint32 area : {kIncoming, 5u}) {
            QDir dir(FindAreaPath(area));
            for (const QString& name : dir.entryList({u"*.desc"_s}, QDir::Files))
                QVERIFY(dir.remove(name));
        }
    }

    int Setup(const QStringList& arguments)
    {
        m_out.clear();
        m_err.clear();
        QTextStream out(&m_out), err(&m_err);
        const int status =
            RunSetup(QStringList{u"--library"_s, m_library->m_dir.filePath(u"demo/db"_s)} + arguments, out, err);
        out.flush();
        err.flush();
        return status;
    }

    // The wizard's run over the directory: its results log, as its last page shows it.
    QString ImportThroughWizard(const QString& directory, bool descriptions)
    {
        auto w = m_library->MakeWizard();
        if (!m_library->Choose(*w, directory, true, descriptions))
            return u"(the first page did not go on)"_s;
        return PlainLines(m_library->RunToResults(*w, true));
    }

    static QString Incoming(const QString& name) { return FindAreaPath(kIncoming) + u'/' + name; }

    static void WriteUpload(const QString& name, const QByteArray& data, const QByteArray& fileName)
    {
        TestSupport::WriteFile(Incoming(name), data);
        TestSupport::WriteFile(Incoming(name + u".desc"_s), "Filename: " + fileName + "\nTitle: Up " +
                                                                 name.toUtf8() +
                                                                 "\nShortDesc: Brief\nCompany: Ann\n"
                                                                 "Email: ann@example.org\n\nBody\n");
    }

    // One upload for each way the scan can find it; the checker decides by the first bytes.
    void WriteEveryKindOfUpload()
    {
        for (const QString& name : QDir(FindAreaPath(kIncoming)).entryList(QDir::Files))
            QVERIFY(QFile::remove(Incoming(name)));
        WriteUpload(u"clean.txt"_s, "data", "clean.txt");
        WriteUpload(u"second.txt"_s, "more data", "second.txt");
        WriteUpload(u"virus.txt"_s, "VIRUS", "virus.txt");
        WriteUpload(u"fails.txt"_s, "FAILS", "fails.txt");
        WriteUpload(u"grows.txt"_s, "GROWS", "grows.txt");
        // Names a file it is not beside: it cannot be trusted to say which file it describes.
        WriteUpload(u"other.txt"_s, "data", "clean.txt");
    }

    void UseChecker()
    {
        const QString script = m_source.filePath(u"checker.sh"_s);
        QVERIFY(CheckerSupport::WriteCheckerScript(script, "for f; do :; done\n"
                                                           "case $(head -c 5 \"$f\") in\n"
                                                           "VIRUS) exit 1 ;;\n"
                                                           "FAILS) exit 2 ;;\n"
                                                           "GROWS) echo more >> \"$f\" ;;\n"
                                                           "esac\nexit 0"));
        QCOMPARE(RegWriteString(u"VirusChecker"_s, script, g_pszRegKey), kRegSuccess);
        QCOMPARE(RegWriteDword(u"VirusExitCode"_s, 1, g_pszRegKey), kRegSuccess);
    }

    QStringList WaitingDescriptions() const
    {
        return QDir(FindAreaPath(kIncoming)).entryList({u"*.desc"_s}, QDir::Files, QDir::Name);
    }

private slots:
    void initTestCase()
    {
        TROVEPORT_REQUIRE_ENGINE();
        QVERIFY(m_source.isValid());
        // The uploads each case writes count as having arrived long ago; one that grows while it is
        // checked still arrives.
        SetUploadScanClock([] { return QDateTime::currentSecsSinceEpoch() + 3600; });
    }

    void cleanup() { SetImportFileHook({}); }

    // The same tree imported through the wizard into one library and through the command into
    // another: the same records, copies and results log, the first time and again.
    void importMatchesTheWizard()
    {
        const QString archive = ArchivePath(u"zip/bfds/cmdow18.zip"_s);
        if (!QFileInfo::exists(archive))
            QSKIP("the BBS archives of the shared test data are not here (TROVEPORT_TESTDATA)");
        const QString tree = Source(u"tree"_s);
        QVERIFY(MakeTree(tree, {u"readme.txt"_s, u".hidden"_s, u"docs/manual.txt"_s, u"docs/deep/notes.txt"_s,
                                u"docs/.profile"_s, u"shortcut.txt -> readme.txt"_s}));
        QVERIFY(QFile::copy(archive, tree + u"/docs/cmdow18.zip"_s));

        QStringList logs[2], records[2], copies[2];
        for (int run = 0; run < 2; ++run) {
            NewLibrary();
            const qint64 lastId = LastFileId();
            const QStringList before = FilesUnder(m_library->m_hostDirectory);
            for (int time = 0; time < 2; ++time) {
                if (run == 0) {
                    logs[run].append(ImportThroughWizard(tree, true));
                    continue;
                }
                // A link was refused: not every file was added.
                QCOMPARE(Setup({u"import"_s, tree, u"--area"_s, u"1"_s, u"--subdirs"_s, u"--descriptions"_s}), 1);
                logs[run].append(m_out);
                QVERIFY2(m_err.contains(u"Copying the files"_s), qPrintable(m_err));
            }
            records[run] = FilesAfter(lastId);
            copies[run] = Added(before, FilesUnder(m_library->m_hostDirectory));
        }
        QCOMPARE(logs[1], logs[0]);
        QCOMPARE(records[1], records[0]);
        QCOMPARE(copies[1], copies[0]);
        // What both did: four files, the archive described from its FILE_ID.DIZ; no dot file, no
        // link; the second time every file is there already.
        QCOMPARE(copies[1], (QStringList{u"cmdow18.zip"_s, u"manual.txt"_s, u"notes.txt"_s, u"readme.txt"_s}));
        QCOMPARE(records[1].size(), 4);
        const auto archiveRow = std::find_if(records[1].cbegin(), records[1].cend(), [](const QString& row) {
            return row.contains(u" @ local://1/cmdow18.zip in 1"_s);
        });
        QVERIFY(archiveRow != records[1].cend());
        QVERIFY2(!archiveRow->split(u'|').value(3).isEmpty(), qPrintable(*archiveRow)); // its brief description
        QVERIFY2(logs[1][0].contains(u"shortcut.txt"_s), qPrintable(logs[1][0]));
        QVERIFY(logs[1][0].endsWith(u"4 file(s) added successfully.\n"_s));
        QCOMPARE(logs[1][1].count(u"already exists."_s), 4);
        QVERIFY(logs[1][1].endsWith(u"0 file(s) added successfully.\n"_s));
    }

    // What the command refuses before importing anything (status 2), and a link in an area.
    void importRefusals()
    {
        NewLibrary();
        const qint64 lastId = LastFileId();
        QVERIFY(MakeTree(Source(u"plain"_s), {u"one.txt"_s}) && QDir().mkpath(Source(u"empty"_s)));
        QCOMPARE(Setup({u"import"_s, Source(u"plain"_s), u"--area"_s, QString::number(kArcade)}), 2);
        QVERIFY2(m_err.contains(u"does not host files"_s), qPrintable(m_err));
        QCOMPARE(Setup({u"import"_s, Source(u"plain"_s), u"--area"_s, u"99"_s}), 2);
        QCOMPARE(Setup({u"import"_s, Source(u"plain"_s)}), 2);
        QCOMPARE(Setup({u"import"_s, Source(u"empty"_s), u"--area"_s, u"1"_s}), 2);
        QVERIFY2(m_err.contains(NoFilesFoundMessage()), qPrintable(m_err));
        QCOMPARE(Setup({u"import"_s, QString(), u"--area"_s, u"1"_s}), 2);
        QVERIFY2(m_err.contains(NoValidDirectoryMessage()), qPrintable(m_err));
        QCOMPARE(m_out, QString());
        QCOMPARE(FilesAfter(lastId), QStringList());

        // In the area itself a link is refused as the file layer refuses it, and nothing is copied.
        const QString drop = m_library->m_hostDirectory + u"/drop"_s;
        QVERIFY(MakeTree(drop, {u"kept.txt"_s, u"elsewhere.txt -> /etc/hostname"_s}));
        QCOMPARE(Setup({u"import"_s, drop, u"--area"_s, u"1"_s}), 1);
        QCOMPARE(m_err, QString());
        QVERIFY2(m_out.contains(u"elsewhere.txt"_s) && m_out.endsWith(u"1 file(s) added successfully.\n"_s),
                 qPrintable(m_out));
        QCOMPARE(FilesAfter(lastId).size(), 1);
        QVERIFY(FilesAfter(lastId)[0].contains(u"local://1/drop/kept.txt"_s));

        // Every file added: status 0.
        QCOMPARE(Setup({u"import"_s, Source(u"plain"_s), u"--area"_s, u"1"_s}), 0);
        QCOMPARE(m_out, u"1 file(s) added successfully.\n"_s);
    }

    // A signal between files stops the import there: what was added stays, the log says where.
    void importStopsOnSignal()
    {
        NewLibrary();
        const qint64 lastId = LastFileId();
        QVERIFY(MakeTree(Source(u"five"_s), {u"f1.txt"_s, u"f2.txt"_s, u"f3.txt"_s, u"f4.txt"_s, u"f5.txt"_s}));
        struct sigaction before = {};
        sigaction(SIGTERM, nullptr, &before);
        SetImportFileHook([](qsizetype index) {
            if (index == 2)
                std::raise(SIGTERM);
        });
        QCOMPARE(Setup({u"import"_s, Source(u"five"_s), u"--area"_s, u"1"_s}), 1);
        QCOMPARE(FilesAfter(lastId).size(), 2);
        QVERIFY2(m_out.contains(u"2 file(s) added successfully.\n"_s), qPrintable(m_out));
        QVERIFY2(m_out.contains(u"Stopped by SIGTERM before "_s + Source(u"five/f3.txt"_s) + u" (file 3 of 5)"_s),
                 qPrintable(m_out));
        // The action from before is back once the command has ended.
        struct sigaction now = {};
        sigaction(SIGTERM, nullptr, &now);
        QVERIFY(now.sa_handler == before.sa_handler);
    }

    // The dialog's Post and --post-clean on the same uploads: only the clean, safe ones are posted,
    // with the same records, and their description files go.
    void scanUploadsPostsAsTheDialog()
    {
        NewLibrary();
        UseChecker();
        QStringList records[2], waiting[2];
        for (int run = 0; run < 2; ++run) {
            WriteEveryKindOfUpload();
            const qint64 lastId = LastFileId();
            if (run == 0) {
                CPendingUploadArray uploads;
                ScanUploadAreas(uploads);
                CScanNewFilesDialog dialog(uploads, nullptr);
                QList<int> rows;
                for (int row = 0; row < uploads.size(); ++row)
                    rows.append(row);
                DialogSupport::Highlight(dialog.GetList(), rows);
                dialog.OnPost();
                DialogSupport::TakeTexts();
            } else {
                QCOMPARE(Setup({u"scan-uploads"_s, u"--post-clean"_s, u"--json"_s}), 1);
            }
            records[run] = FilesAfter(lastId, false);
            waiting[run] = WaitingDescriptions();
        }
        QCOMPARE(records[1], records[0]);
        QCOMPARE(records[1].size(), 2);
        QVERIFY2(records[1][0].contains(u"local://7/clean.txt in 7"_s), qPrintable(records[1][0]));
        QCOMPARE(waiting[1], waiting[0]);
        QCOMPARE(waiting[1], (QStringList{u"fails.txt.desc"_s, u"grows.txt.desc"_s, u"other.txt.desc"_s,
                                          u"virus.txt.desc"_s}));

        // The report lists every upload the scan found, with its verdict and what became of it.
        const QJsonObject report = QJsonDocument::fromJson(m_out.toUtf8()).object();
        QCOMPARE(report[u"format"_s].toInt(), 1);
        QCOMPARE(report[u"posted"_s].toInt(), 2);
        QCOMPARE(report[u"waiting"_s].toInt(), 4);
        QStringList seen;
        for (const QJsonValue& value : report[u"uploads"_s].toArray()) {
            const QJsonObject upload = value.toObject();
            seen.append(QFileInfo(upload[u"path"_s].toString()).fileName() + u' ' +
                        upload[u"virus"_s][u"verdict"_s].toString() +
                        (upload[u"unsafe"_s].isNull() ? u""_s : u" unsafe"_s) +
                        (upload[u"posted"_s].toBool() ? u" posted"_s : u""_s));
        }
        QCOMPARE(seen, (QStringList{u"clean.txt clean posted"_s, u"fails.txt not-checked"_s,
                                    u"grows.txt clean unsafe"_s, u"other.txt clean unsafe"_s,
                                    u"second.txt clean posted"_s, u"virus.txt infected"_s}));
    }

    // Without a checker nothing is posted unattended; a list alone posts nothing; nothing waiting
    // is status 0; a post the database refuses is status 2.
    void scanUploadsWaitsWhenUnsure()
    {
        NewLibrary();
        QCOMPARE(Setup({u"scan-uploads"_s}), 0);
        QCOMPARE(m_out, u"No new files found to process.\n"_s);

        QCOMPARE(RegWriteString(u"VirusChecker"_s, QString(), g_pszRegKey), kRegSuccess);
        WriteUpload(u"plain.txt"_s, "data", "plain.txt");
        const qint64 lastId = LastFileId();
        QCOMPARE(Setup({u"scan-uploads"_s, u"--post-clean"_s}), 1);
        QVERIFY2(m_out.contains(u"\tno checker: "_s) && m_out.contains(u"\twaits: No virus checker"_s),
                 qPrintable(m_out));
        QCOMPARE(FilesAfter(lastId), QStringList());

        UseChecker();
        QCOMPARE(Setup({u"scan-uploads"_s}), 1);
        QVERIFY2(m_out.contains(u"\tclean\tcan be posted\n"_s), qPrintable(m_out));
        QCOMPARE(WaitingDescriptions(), QStringList{u"plain.txt.desc"_s});

        {
            DatabaseSupport::COtherProgram site(theDatabaseManager.GetDatabaseFile());
            QVERIFY(site.RefuseWrites(u"INSERT"_s, u"files"_s, u"true"_s, u"closed for the night"_s));
            theDatabaseManager.CloseConnection();
            QCOMPARE(Setup({u"scan-uploads"_s, u"--post-clean"_s}), 2);
            QVERIFY2(m_out.contains(u"\tnot posted: "_s), qPrintable(m_out));
            QVERIFY(site.AllowWrites(u"files"_s));
        }
        QCOMPARE(FilesAfter(lastId), QStringList());
        QCOMPARE(WaitingDescriptions(), QStringList{u"plain.txt.desc"_s});

        QCOMPARE(Setup({u"scan-uploads"_s, u"--post-clean"_s}), 0);
        QVERIFY2(m_out.contains(u"\tposted\n"_s), qPrintable(m_out));
        QCOMPARE(FilesAfter(lastId).size(), 1);
        QCOMPARE(WaitingDescriptions(), QStringList());
    }
};

QTEST_MAIN(TestUnattended)
#include "tst_unattended.moc"

// Reading upload description files, scanning the upload areas, posting and deleting uploads, and
// what visitors can put in an upload's place: links, FIFOs, devices, names that are not UTF-8, and
// files still being written.

#include "ArchiveSupport.h"
#include "CheckerSupport.h"
#include "database/CTroveportDatabaseManager.h"
#include "DatabaseSupport.h"
#include "files/SiteTextLines.h"
#include "uploads/UploadScan.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

using namespace TestSupport;
using namespace DatabaseSupport;
using CheckerSupport::FileIdentity;

namespace {

// What a directory entry of an upload's name can be besides a regular file.
enum class Entry
{
    Fifo,
    Device,
    Socket,
    Directory,
};

// Makes an entry of that kind at path; false with QSKIP's reason in *why when this system cannot.
bool MakeEntry(Entry kind, const QString& path, QString* why)
{
    const QByteArray native = QFile::encodeName(path);
    switch (kind) {
    case Entry::Fifo:
        return ::mkfifo(native.constData(), 0644) == 0;
    case Entry::Device:
        // The system's null device: reading it would give the checker nothing but an empty file.
        if (::mknod(native.constData(), S_IFCHR | 0644, makedev(1, 3)) == 0)
            return true;
        *why = u"device nodes can only be made by root"_s;
        return false;
    case Entry::Socket: {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        if (size_t(native.size()) >= sizeof address.sun_path) {
            *why = u"the temporary directory's path is too long for a socket"_s;
            return false;
        }
        std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0)
            ::close(fd); // the socket's name stays in the directory
        return bound;
    }
    case Entry::Directory:
        return QDir().mkdir(path);
    }
    return false;
}

// A file by the bytes of its name, which need not be UTF-8.
bool WriteRaw(const QByteArray& path, const QByteArray& data)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const bool written = fd >= 0 && ::write(fd, data.constData(), size_t(data.size())) == data.size();
    return fd >= 0 && ::close(fd) == 0 && written;
}

CPendingUpload Parse(const QByteArray& text)
{
    CPendingUpload upload;
    ParseUploadDescription(SplitSiteTextLines(text, kUploadLinePieceBytes), upload);
    return upload;
}

const CPendingUpload* Find(const CPendingUploadArray& list, const QString& descriptionName)
{
    for (const CPendingUpload& upload : list) {
        if (upload.description_path.endsWith(u'/' + descriptionName))
            return &upload;
    }
    return nullptr;
}

} // namespace

class TestUploads : public QObject, public CheckerSupport::CUploadAreas
{
    Q_OBJECT

    void Upload(const QString& name, const QByteArray& description, const QByteArray& content = "data")
    {
        WriteFile(Up(name), content);
        WriteFile(Up(name + u".desc"_s), description);
    }
    // Scans the areas with the clock at seconds after the upload's last status change.
    CPendingUploadArray ScanAfter(const QString& upload, qint64 seconds)
    {
        struct stat st = {};
        ::stat(QFile::encodeName(upload).constData(), &st);
        const qint64 changed = std::max<qint64>(st.st_ctim.tv_sec, st.st_mtim.tv_sec);
        SetUploadScanClock([changed, seconds] { return changed + seconds; });
        CPendingUploadArray list;
        ScanUploadAreas(list);
        SetUploadScanClock(Settled);
        return list;
    }
    // A clock well after every upload a case writes: none of them is still arriving.
    static qint64 Settled() { return QDateTime::currentSecsSinceEpoch() + 3600; }
    static int FileCount()
    {
        return COtherProgram(theDatabaseManager.GetDatabaseFile())
            .Value(u"SELECT count(*) FROM files"_s)
            .toInt();
    }
    // A checker of the test's own put in place, allowed a second.
    void UseScript(const QByteArray& body)
    {
        QVERIFY(CheckerSupport::PlaceChecker(Path(u"checker.sh"_s), body));
        UseChecker(Path(u"checker.sh"_s));
        QCOMPARE(RegWriteDword(u"VirusTimeout"_s, 1, g_pszRegKey), kRegSuccess);
    }

private slots:
    void initTestCase()
    {
        TROVEPORT_REQUIRE_ENGINE();
        OpenUploadAreas(AreaRecord(4, "More uploads", QFile::encodeName(Path(u"areas/other"_s)), 2) +
                        AreaRecord(5, "Closed", QFile::encodeName(Path(u"areas/closed"_s)), 1));
        SetUploadScanClock(Settled);
        UseFreshDatabase(m_dir.path());
        QVERIFY(theDatabaseManager.GetConnection().isOpen()); // makes the tables
    }

    void init()
    {
        ResetUploadAreas({u"areas/up"_s, u"areas/other"_s, u"areas/closed"_s},
                         QStringLiteral(TROVEPORT_FAKE_VIRUSCHECK));
        QCOMPARE(RegWriteDword(u"VirusTimeout"_s, 600, g_pszRegKey), kRegSuccess);
        // Each case counts the records it posts.
        COtherProgram site(theDatabaseManager.GetDatabaseFile());
        for (const QString& table : {u"download"_s, u"file_area"_s, u"files"_s})
            QVERIFY(site.Run(u"DELETE FROM "_s + table));
    }

    void cleanupTestCase() { theFileAreaTable.Close(); }

    // The header's keys, case and limits; the body's pieces, trailing spaces and room.
    void descriptionRules()
    {
        const CPendingUpload keys = Parse("title: lower case\nVersion:1.0\nTitle: \nReqForm: yes\n"
                                          "Title: A title that is far longer than thirty characters\n"
                                          "Version: 2.5 beta  \nCompany: Acme: Tools\nNoSeparator\n");
        QCOMPARE(keys.title, u"A title that is far longer tha"_s);
        QCOMPARE(keys.version, u"2.5 beta  "_s);
        QCOMPARE(keys.company, u"Acme: Tools"_s);
        QVERIFY(keys.requires_form);
        QCOMPARE(keys.long_desc, QString()); // no empty line: no body even though text follows
        for (const auto& [value, expected] :
             {std::pair{"1", true}, {"Y", true}, {"true", false}, {"0", false}, {"", false}})
            QCOMPARE(Parse(QByteArray("ReqForm: ") + value + "\n").requires_form, expected);

        const QByteArray longLine = QByteArray(250, 'a') + "    " + QByteArray(42, 'b') + "    ";
        const CPendingUpload body = Parse("Title: T\r\n\r\nFirst paragraph   \r\nTitle: not a key\r\n\r\n" +
                                          longLine + "\nlast line");
        QCOMPARE(body.title, u"T"_s);
        QCOMPARE(body.long_desc, u"First paragraph\r\nTitle: not a key\r\n\r\n"_s + QString(250, u'a') +
                                     u"\r\n"_s + QString(42, u'b') + u"\r\nlast line\r\n"_s);

        // The body holds at most 65,534 characters, however long the file.
        QByteArray huge = "\n";
        for (int i = 0; i < 400; ++i)
            huge += QByteArray(200, 'x') + '\n';
        QCOMPARE(Parse(huge).long_desc.size(), CPendingUpload::kLongDescLength - 1);
        QVERIFY(Parse(huge).long_desc.endsWith(u'x'));
    }

    // Uploads in name order per area, in table order; descriptions from an archive; orphans gone;
    // areas without uploads left alone; the checker run on each upload; progress and stopping.
    void scanningTheAreas()
    {
        QVERIFY(ArchiveSupport::WriteArchive(Up(u"b.zip"_s),
                                             {{"FILE_ID.DIZ", "From the archive\r\nSecond\r\n"}}));
        WriteFile(Up(u"b.zip.desc"_s), "Filename: b.zip\nTitle: Bee\n");
        Upload(u"a.txt"_s, "Filename: a.txt\nShortDesc: Brief\n\nBody\n", QByteArray(1234, 'a'));
        WriteFile(Up(u"orphan.zip.desc"_s), "Filename: orphan.zip\n");
        QVERIFY(QFile::link(Up(u"gone"_s), Up(u"dangling.desc"_s)));
        WriteFile(Path(u"areas/other/c.bin"_s), "c");
        WriteFile(Path(u"areas/other/c.bin.desc"_s), "Title: No name\n");
        WriteFile(Path(u"areas/closed/d.bin"_s), "d");
        WriteFile(Path(u"areas/closed/d.bin.desc"_s), "Filename: d.bin\n");

        CPendingUploadArray list;
        QList<int> totals;
        QVERIFY(ScanUploadAreas(list, [&](const QString&, int index, int total) {
            totals.append(index * 100 + total);
            return true;
        }));
        QCOMPARE(totals, (QList<int>{5, 105, 205, 305, 405}));
        QCOMPARE(list.size(), 3);
        QCOMPARE(list[0].file_name, u"a.txt"_s);
        QCOMPARE(list[1].file_name, u"b.zip"_s);
        QCOMPARE(list[2].title, u"No name"_s);
        QCOMPARE(list[0].file_size, 1234.0);
        QCOMPARE(list[0].long_desc, u"Body\r\n"_s);
        QCOMPARE(list[1].short_desc, u"From the archive"_s);
        QCOMPARE(list[1].long_desc, u"From the archive\r\nSecond\r\n"_s);
        QCOMPARE(list[1].urls, QStringList{u"local://3/b.zip"_s});
        QCOMPARE(list[1].area_ids, QList<quint32>{3});
        for (const CPendingUpload& upload : list.first(2))
            QVERIFY2(upload.IsSafe(), qPrintable(upload.unsafe_reason));
        // Without a Filename its location would be the area's directory itself: not postable.
        QVERIFY2(list[2].unsafe_reason.contains(u"\"Filename\""_s), qPrintable(list[2].unsafe_reason));
        QString refusal;
        QVERIFY(!PostPendingUpload(list[2], &refusal));
        QCOMPARE(refusal, list[2].unsafe_reason);
        for (const CPendingUpload& upload : std::as_const(list))
            QCOMPARE(upload.virus.kind, VirusVerdict::Kind::Clean);
        QCOMPARE(Checked(), (QList<QByteArray>{FileIdentity(Up(u"a.txt"_s)), FileIdentity(Up(u"b.zip"_s)),
                                               FileIdentity(Path(u"areas/other/c.bin"_s))}));
        // Descriptions left without their upload are removed, a link of them itself.
        QVERIFY(!QFile::exists(Up(u"orphan.zip.desc"_s)));
        QVERIFY(!QFileInfo(Up(u"dangling.desc"_s)).isSymLink());
        QVERIFY(QFile::exists(Path(u"areas/closed/d.bin.desc"_s)));

        CPendingUploadArray stopped;
        QVERIFY(!ScanUploadAreas(stopped, [](const QString&, int index, int) { return index < 1; }));
        QCOMPARE(stopped.size(), 1);
    }

    // The checker's verdict on each upload is kept: only a clean upload can be posted, and a
    // checker that ends any other way leaves the upload listed as not checked, never as clean.
    // The other ways a check fails reach the scan as the same verdict; the checker's own tests
    // run them all.
    void scanKeepsTheCheckersVerdict_data()
    {
        CheckerSupport::AddScriptCaseRows({"clean", "infected", "missing program"});
    }
    void scanKeepsTheCheckersVerdict()
    {
        QFETCH(int, index);
        const CheckerSupport::ScriptCase c = CheckerSupport::ScriptCases().at(index);
        UseScript(c.body);
        Upload(u"tool.zip"_s, "Filename: tool.zip\nTitle: Tool\n");

        CPendingUploadArray list;
        QVERIFY(ScanUploadAreas(list));
        QCOMPARE(list.size(), 1);
        QVERIFY2(list[0].IsSafe(), qPrintable(list[0].unsafe_reason));
        const VirusVerdict::Kind kinds[] = {VirusVerdict::Kind::Clean, VirusVerdict::Kind::Infected,
                                            VirusVerdict::Kind::NotChecked};
        QCOMPARE(list[0].virus.kind, kinds[int(c.expect)]);
        QVERIFY2(list[0].virus.reason.contains(c.reasonPart), qPrintable(list[0].virus.reason));
        QString refusal;
        const bool posted = PostPendingUpload(list[0], &refusal);
        QCOMPARE(posted, c.expect == CheckerSupport::Expect::Clean);
        QCOMPARE(FileCount(), posted ? 1 : 0);
        if (c.expect == CheckerSupport::Expect::Infected)
            QCOMPARE(refusal, Up(u"tool.zip was reported infected by the virus checker (exit code 1)."_s));
        if (c.expect == CheckerSupport::Expect::NotChecked)
            QVERIFY2(refusal.startsWith(u"The virus check of "_s + Up(u"tool.zip"_s) +
                                        u" could not be completed: "_s) &&
                         refusal.contains(c.reasonPart),
                     qPrintable(refusal));
    }

    // A checker may move an infected upload away (to a quarantine): what is gone is not listed.
    void uploadMovedByTheCheckerIsNotListed()
    {
        QVERIFY(QDir().mkpath(Path(u"quarantine"_s)));
        UseScript("f=$(readlink -f \"$1\") && mv \"$f\" '" + QFile::encodeName(Path(u"quarantine"_s)) +
                  "/'\nexit 1");
        Upload(u"bad.zip"_s, "Filename: bad.zip\n");
        CPendingUploadArray list;
        QVERIFY(ScanUploadAreas(list));
        QCOMPARE(list.size(), 0);
        QVERIFY(QFile::exists(Path(u"quarantine/bad.zip"_s)));
        // Its description is then an orphan, which the next scan removes.
        QVERIFY(ScanUploadAreas(list));
        QCOMPARE(Entries(Up(QString())), QStringList());
    }

    // A name ending in ".desc" is an orphaned description only when nothing of the name it
    // describes is there and no description describes it in turn: a visitor may upload one.
    void orphanedDescriptions_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<QStringList>("listed"); // the uploads' names
        QTest::newRow("an upload named .desc")
            << QStringList{u"notes.desc"_s, u"notes.desc.desc"_s}
            << QStringList{u"notes.desc"_s, u"notes.desc.desc"_s} << QStringList{u"notes.desc"_s};
        QTest::newRow("orphan") << QStringList{u"gone.zip.desc"_s} << QStringList{} << QStringList{};
        QTest::newRow("orphan of an orphan")
            << QStringList{u"gone.desc.desc"_s} << QStringList{} << QStringList{};
        QTest::newRow("upload, description and one more")
            << QStringList{u"a.desc"_s, u"a.desc.desc"_s, u"a.desc.desc.desc"_s}
            << QStringList{u"a.desc"_s, u"a.desc.desc"_s, u"a.desc.desc.desc"_s}
            << QStringList{u"a.desc"_s, u"a.desc.desc"_s};
    }
    void orphanedDescriptions()
    {
        QFETCH(QStringList, files);
        for (const QString& name : files) {
            const QByteArray describes = name.chopped(5).toUtf8();
            WriteFile(Up(name), "Filename: " + describes + "\n");
        }
        CPendingUploadArray list;
        QVERIFY(ScanUploadAreas(list));
        QStringList names;
        for (const CPendingUpload& upload : std::as_const(list)) {
            names.append(upload.file_name);
            QVERIFY2(upload.IsSafe(), qPrintable(upload.unsafe_reason));
        }
        QTEST(names, "listed");
        QTEST(Entries(Up(QString())), "left");
    }

    // Visitors write the description files: names that leave the area, links and garbage are
    // listed with a warning, never posted, and deleting them touches nothing outside.
    void hostileUploads()
    {
        WriteFile(Path(u"outside/secret.txt"_s), "secret");
        Upload(u"up.zip"_s, "Filename: ../../outside/secret.txt\n");
        Upload(u"abs.zip"_s, "Filename: " + QFile::encodeName(Path(u"outside/secret.txt"_s)) + "\n");
        Upload(u"dots.zip"_s, "Filename: ..\n");
        WriteFile(Up(u"keep.zip"_s), "a posted file");
        Upload(u"other.zip"_s, "Filename: keep.zip\n");
        QVERIFY(QFile::link(Path(u"outside/secret.txt"_s), Up(u"link.zip"_s)));
        WriteFile(Up(u"link.zip.desc"_s), "Filename: link.zip\n");
        // A link inside the area is refused too: what it leads to can change at any moment.
        QVERIFY(QFile::link(Up(u"keep.zip"_s), Up(u"alias.zip"_s)));
        WriteFile(Up(u"alias.zip.desc"_s), "Filename: alias.zip\n");
        WriteFile(Up(u"linked"_s), "x");
        QVERIFY(QFile::link(Path(u"outside/secret.txt"_s), Up(u"linked.desc"_s)));
        static const char header[] =
            "Filename: garbage.bin\nTitle: \xff\xfe\x80 caf\xc3\xa9\x00hidden\nVersion: ";
        QByteArray garbage(header, sizeof header - 1);
        garbage += QByteArray(3 * 1024 * 1024, '\x01') + "\n\n" + QByteArray(5000, '\0') + "\xc3";
        Upload(u"garbage.bin"_s, garbage);

        CPendingUploadArray list;
        QVERIFY(ScanUploadAreas(list));
        QCOMPARE(list.size(), 8);
        for (const char* name : {"up.zip.desc", "abs.zip.desc", "dots.zip.desc", "other.zip.desc",
                                 "link.zip.desc", "alias.zip.desc", "linked.desc"}) {
            const CPendingUpload* upload = Find(list, QLatin1String(name));
            QVERIFY2(upload && !upload->IsSafe(), name);
            QString refusal;
            QVERIFY(!PostPendingUpload(*upload, &refusal));
            QCOMPARE(refusal, upload->unsafe_reason);
        }
        // A link is named in the warning; the description file that is one is not read.
        QVERIFY(
            Find(list, u"link.zip.desc"_s)->unsafe_reason.startsWith(Up(u"link.zip is a symbolic link"_s)));
        QVERIFY(
            Find(list, u"linked.desc"_s)->unsafe_reason.startsWith(Up(u"linked.desc is a symbolic link"_s)));
        QCOMPARE(Find(list, u"linked.desc"_s)->title, QString());
        QCOMPARE(FileCount(), 0);
        QVERIFY(!Checked().contains(FileIdentity(Path(u"outside/secret.txt"_s))));
        QVERIFY(!Checked().contains(FileIdentity(Up(u"keep.zip"_s))));
        const CPendingUpload* garbled = Find(list, u"garbage.bin.desc"_s);
        QVERIFY(garbled && garbled->IsSafe());
        QCOMPARE(garbled->title, u"\u00ff\u00fe\u20ac caf\u00e9"_s);
        QCOMPARE(garbled->version.size(), CPendingUpload::kVersionLength);

        // Links are removed themselves, never what they lead to.
        for (const CPendingUpload& upload : list)
            DeleteUploadFiles(upload);
        QCOMPARE(QDir(Up(QString())).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                 QStringList{u"keep.zip"_s});
        QCOMPARE(ReadFile(Path(u"outside/secret.txt"_s)), QByteArray("secret"));
        QCOMPARE(ReadFile(Up(u"keep.zip"_s)), QByteArray("a posted file"));
    }

    // Anything but a regular file in an upload's place is listed with a warning that names it, and
    // is neither read, checked nor posted. Delete removes its description and, but for a directory,
    // the entry itself.
    void notRegularUploads_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("FIFO") << int(Entry::Fifo);
        QTest::newRow("device") << int(Entry::Device);
        QTest::newRow("socket") << int(Entry::Socket);
        QTest::newRow("directory") << int(Entry::Directory);
    }
    void notRegularUploads()
    {
        QFETCH(int, kind);
        QString why;
        if (!MakeEntry(Entry(kind), Up(u"odd.zip"_s), &why)) {
            if (why.isEmpty())
                QFAIL(qPrintable(qt_error_string(errno)));
            QSKIP(qPrintable(why));
        }
        WriteFile(Up(u"odd.zip.desc"_s), "Filename: odd.zip\nTitle: Odd\nShortDesc: s\n\nl\n");
        CPendingUploadArray list;
        QVERIFY(ScanUploadAreas(list));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].title, u"Odd"_s);
        QCOMPARE(list[0].unsafe_reason, Up(u"odd.zip is not a regular file."_s));
        QString refusal;
        QVERIFY(!PostPendingUpload(list[0], &refusal));
        QCOMPARE(refusal, list[0].unsafe_reason);
        QCOMPARE(FileCount(), 0);
        QCOMPARE(Checked(), QList<QByteArray>());

        DeleteUploadFiles(list[0]);
        QVERIFY(!QFile::exists(Up(u"odd.zip.desc"_s)));
        QCOMPARE(QFileInfo(Up(u"odd.zip"_s)).isDir(), Entry(kind) == Entry::Directory);
        QCOMPARE(QFileInfo::exists(Up(u"odd.zip"_s)), Entry(kind) == Entry::Directory);
    }

    // An upload whose size or times move while it is checked, or that changed less than ten
    // seconds before the scan, may still be arriving: listed, not posted, until a later scan.
    void stillArriving_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("secondsLater"); // the scan's clock after the upload's last change
        QTest::addColumn<bool>("arriving");
        QTest::newRow("settled") << QByteArray("done\n") << 11 << false;
        QTest::newRow("changed 5 s before") << QByteArray("done\n") << 5 << true;
        QTest::newRow("changed at the scan") << QByteArray("done\n") << 0 << true;
        QTest::newRow("grows during the check") << QByteArray("GROW\n") << 3600 << true;
    }
    void stillArriving()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, secondsLater);
        QFETCH(bool, arriving);
        Upload(u"new.zip"_s, "Filename: new.zip\nTitle: Arriving\n", content);
        const CPendingUploadArray list = ScanAfter(Up(u"new.zip"_s), secondsLater);
        QCOMPARE(list.size(), 1);
        QCOMPARE(Checked().size(), 1); // checked even so
        QCOMPARE(list[0].IsSafe(), !arriving);
        if (!arriving)
            return;
        QCOMPARE(list[0].unsafe_reason, Up(u"new.zip is still arriving: scan again later to post it."_s));
        QVERIFY(!PostPendingUpload(list[0]));
        QCOMPARE(FileCount(), 0);
    }

    // Posting offers the file at the upload's name for download: only while it is the very file
    // the scan checked.
    void postRefusesAnUploadChangedSinceTheScan_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("reason"); // the start of the refusal, after the upload's path
        QTest::newRow("unchanged") << QString() << QString();
        QTest::newRow("exchanged") << u"exchange"_s << u" has changed since it was checked"_s;
        QTest::newRow("written to") << u"resize"_s << u" has changed since it was checked"_s;
        QTest::newRow("now a link") << u"link"_s << u" is a symbolic link"_s;
        QTest::newRow("gone") << u"remove"_s << u": No such file or directory"_s;
    }
    void postRefusesAnUploadChangedSinceTheScan()
    {
        QFETCH(QString, change);
        QFETCH(QString, reason);
        Upload(u"tool.zip"_s, "Filename: tool.zip\nTitle: Tool\n", "checked\n");
        CPendingUploadArray list;
        QVERIFY(ScanUploadAreas(list));
        QCOMPARE(list.size(), 1);
        QVERIFY(list[0].IsSafe());
        const QString upload = Up(u"tool.zip"_s);
        WriteFile(Up(u"other"_s), "never checked\n");
        if (change == u"exchange")
            QVERIFY(QFile::remove(upload) && QFile::rename(Up(u"other"_s), upload));
        else if (change == u"resize")
            QCOMPARE(::truncate(QFile::encodeName(upload).constData(), 100), 0);
        else if (change == u"link")
            QVERIFY(QFile::remove(upload) && QFile::link(Up(u"other"_s), upload));
        else if (change == u"remove")
            QVERIFY(QFile::remove(upload));

        QString refusal;
        const bool posted = PostPendingUpload(list[0], &refusal);
        QCOMPARE(posted, reason.isEmpty());
        QCOMPARE(FileCount(), posted ? 1 : 0);
        QVERIFY2(refusal.startsWith(reason.isEmpty() ? QString() : upload + reason), qPrintable(refusal));
        QCOMPARE(refusal.isEmpty(), posted);
    }

    // A name that is not UTF-8 is listed, shown with replacement characters, and deleted by its
    // own bytes: the file whose UTF-8 name is what the list shows stays.
    void namesThatAreNotUtf8()
    {
        const QByteArray up = QFile::encodeName(Up(QString()));
        const QByteArray raw = up + "caf\xe9.zip";
        QVERIFY(WriteRaw(raw, "upload"));
        QVERIFY(WriteRaw(raw + ".desc", "Filename: caf\xe9.zip\nTitle: Latin-1\n"));
        QVERIFY(WriteRaw(up + "caf\xef\xbf\xbd.zip", "another file"));
        QVERIFY(WriteRaw(up + "caf\xef\xbf\xbd.zip.desc.keep", "its description, not one to scan"));

        CPendingUploadArray list;
        QVERIFY(ScanUploadAreas(list));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].title, u"Latin-1"_s);
        QCOMPARE(list[0].upload_path, Up(u"caf\ufffd.zip"_s));
        QCOMPARE(list[0].description_path, Up(u"caf\ufffd.zip.desc"_s));
        // The description's name, read as Windows-1252, is not the upload's: not postable.
        QVERIFY(!list[0].IsSafe());
        QVERIFY(list[0].unsafe_reason.contains(u"caf\ufffd.zip"_s));
        QCOMPARE(Checked(), QList<QByteArray>{FileIdentity(raw)});

        DeleteUploadFiles(list[0]);
        QCOMPARE(::access(raw.constData(), F_OK), -1);
        QCOMPARE(::access((raw + ".desc").constData(), F_OK), -1);
        QCOMPARE(Entries(Up(QString())), (QStringList{u"caf\ufffd.zip"_s, u"caf\ufffd.zip.desc.keep"_s}));
    }

    // A post creates the record with its areas and locations and leaves the upload in place; one
    // that fails part-way leaves no record behind.
    void posting()
    {
        Upload(u"tool.zip"_s, "Filename: tool.zip\nTitle: Tool\nVersion: 1.2\nCompany: Ann\nEmail: a@b.c\n"
                              "ReqForm: 1\nShortDesc: Brief\n\nLine one\nLine two\n");
        CPendingUploadArray list;
        QVERIFY(ScanUploadAreas(list));
        QCOMPARE(list.size(), 1);
        CPendingUpload upload = list[0];
        upload.area_ids.append(5);
        upload.urls.append(u"http://mirror.example.com/tool.zip"_s);
        QVERIFY(PostPendingUpload(upload));
        RemovePostedDescription(upload);
        QVERIFY(!QFile::exists(Up(u"tool.zip.desc"_s)));
        QVERIFY(QFile::exists(Up(u"tool.zip"_s)));

        COtherProgram site(theDatabaseManager.GetDatabaseFile());
        QCOMPARE(
            site.Value(u"SELECT title || '|' || version || '|' || upld_name || '|' || upld_email || '|' || "
                       "requires_form || '|' || short_desc || '|' || long_desc FROM files"_s)
                .toString(),
            u"Tool|1.2|Ann|a@b.c|1|Brief|Line one\nLine two\n"_s);
        QCOMPARE(site.Value(JoinedValues(u"area_id"_s, u"file_area"_s)).toString(), u"3,5"_s);
        QCOMPARE(site.Value(u"SELECT count(*) FROM download"_s).toInt(), 2);

        QVERIFY(site.RefuseWrites(u"INSERT"_s, u"download"_s, u"NEW.url LIKE 'http:%'"_s, u"refused"_s));
        upload.title = u"Refused"_s;
        QVERIFY(!PostPendingUpload(upload));
        QVERIFY(site.AllowWrites(u"download"_s));
        QCOMPARE(site.Value(u"SELECT count(*) FROM files"_s).toInt(), 1);
        QCOMPARE(site.Value(u"SELECT count(*) FROM file_area"_s).toInt(), 2);
        QCOMPARE(site.Value(u"SELECT count(*) FROM download"_s).toInt(), 2);
    }
};

QTEST_MAIN(TestUploads)
#include "tst_uploads.moc"

// Deleting local copies and copying a stored local location into its host area while the web site
// works against it: a directory of the path exchanged for a link to outside while the explorer
// walks it, a link planted on the way, and a sibling directory whose name begins with the area's.

#include "adding/addfile/AddFileSource.h"
#include "adding/addfiles/FileCollection.h"
#include "adding/download/CDownloadUrlDialog.h"
#include "adding/download/LocalLocation.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/SafeFiles.h"
#include "properties/CFileRemover.h"
#include "properties/FileRemoval.h"
#include "RaceSupport.h"
#include "settings/Globals.h"
#include "TestSupport.h"

#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace TestSupport;

namespace {

constexpr quint32 kArea = 1;  // directory "area"
constexpr quint32 kArea2 = 2; // directory "area2", beside it

const QString kCopy =
    u"The selected file needs to be copied to the host directory. Do you want to copy this file?"_s;
const QString kCopyFailed = u"Could not copy the requested file to the host path"_s;
const QString kIsLink = u" is a symbolic link. Troveport Explorer does not follow links in directories the "
                        u"web site can write, and left it alone."_s;

// Records what deleting local copies reports, answering every question Yes.
class CRecordedPrompts : public CRemovalPrompts
{
public:
    Answer AskDeleteLocalCopies() override { return Answer::Yes; }
    bool AskDeleteFileOfLastArea(const QString&) override { return true; }
    void ReportNotDeleted(const QString& path, const FileFault& fault) override
    {
        notDeleted.append(path);
        faults.append(fault);
    }
    void ReportCopyKept(const QString& path, const QString&) override { kept.append(path); }
    void ReportOutsideArea(const QString& location) override { outside.append(location); }
    void ReportCannotDelete(const QString& reason) override { refused.append(reason); }
    bool Starting(qint64, qint64, const QString&) override { return true; }

    QStringList notDeleted;
    QList<FileFault> faults;
    QStringList kept;
    QStringList outside;
    QStringList refused;
};

// Runs the Download URL dialog on a stored location and presses OK, answering the copy question
// Yes; the texts of the message boxes shown.
QStringList CopyStoredLocation(const QString& location, bool* closed = nullptr)
{
    CDownloadUrlDialog dialog;
    dialog.SetLocation(location);
    QStringList texts;
    CModalRun::QueueHandler([&](QDialog& shown) {
        auto& d = static_cast<CDownloadUrlDialog&>(shown);
        CMessageBox::QueueAnswer(QMessageBox::Yes);
        d.GetOkButton()->click();
        for (const CMessageBox::Request& box : CMessageBox::TakeRequests())
            texts.append(box.text);
        if (d.isVisible())
            d.reject();
        return d.result();
    });
    const int result = CModalRun::Exec(dialog);
    if (closed)
        *closed = result == QDialog::Accepted;
    return texts;
}

} // namespace

class TestAreaRace : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Path(const QString& relative) const { return m_dir.filePath(relative); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QDir root(m_dir.path());
        QVERIFY(root.mkpath(u"area/docs"_s) && root.mkpath(u"area2"_s) && root.mkpath(u"outside"_s));
        WriteFile(Path(u"Filearea.dat"_s),
                  HeaderRecord() +
                      AreaRecord(kArea, "Area", QFile::encodeName(Path(u"area"_s)), kAreaHostsLocalFiles) +
                      AreaRecord(kArea2, "Area 2", QFile::encodeName(Path(u"area2"_s)), kAreaHostsLocalFiles));
        QVERIFY(theFileAreaTable.Open(Path(u"Filearea.dat"_s)));
        // Deleting a copy asks the database whether another file still names it.
        theDatabaseManager.SetDatabaseFile(Path(u"troveport.db"_s));
        CMessageBox::SetAnsweringMode(true);
    }

    void cleanupTestCase() { theFileAreaTable.Close(); }

    void cleanup()
    {
        CModalRun::ClearHandlers();
        CMessageBox::TakeRequests();
    }

    // Hundreds of deletions while "docs" keeps changing places with a link to outside: each one
    // deletes the copy inside or is refused and reported, and no file outside is ever deleted.
    void deleteWhileADirectoryIsExchanged()
    {
        constexpr int kRounds = 1000;
        QVERIFY(QDir(Path(u"area"_s)).mkpath(u"race"_s) && QDir(Path(u"outside"_s)).mkpath(u"race"_s));
        QVERIFY(QFile::link(Path(u"outside/race"_s), Path(u"area/race-swap"_s)));
        QStringList locations;
        for (int i = 0; i < kRounds; ++i) {
            const QString name = u"copy%1.zip"_s.arg(i);
            WriteFile(Path(u"area/race/"_s + name), "inside");
            WriteFile(Path(u"outside/race/"_s + name), "outside");
            locations.append(u"local://1/race/"_s + name);
        }
        RaceSupport::CExchanger exchanger(Path(u"area/race"_s), Path(u"area/race-swap"_s));
        if (const QString refusal = exchanger.Refusal(); !refusal.isEmpty())
            QSKIP(qPrintable(refusal));

        CRecordedPrompts prompts;
        exchanger.Start();
        for (const QString& location : std::as_const(locations)) {
            DeleteLocalCopies(0, {location}, prompts);
            std::this_thread::yield(); // lets the exchanges go on between deletions on a busy machine
        }
        exchanger.Stop();

        QVERIFY(exchanger.Exchanges() > 0);
        QCOMPARE(Entries(Path(u"outside/race"_s)).size(), kRounds);
        // What was not deleted inside is exactly what was reported, each naming the file it meant.
        QCOMPARE(Entries(Path(u"area/race"_s)).size(), prompts.notDeleted.size());
        QVERIFY(prompts.outside.isEmpty() && prompts.kept.isEmpty());
        for (qsizetype i = 0; i < prompts.faults.size(); ++i) {
            QVERIFY(prompts.notDeleted[i].startsWith(Path(u"area/race/copy"_s)));
            QVERIFY2(prompts.faults[i].name == Path(u"area/race"_s), qPrintable(prompts.faults[i].Message()));
        }
    }

    // The Add Files collection walks an area while one of its directories keeps changing places
    // with a link to outside: it takes the files of the real directory or refuses the link, and
    // never takes a file from outside.
    void collectWhileADirectoryIsExchanged()
    {
        QVERIFY(QDir(Path(u"area"_s)).mkpath(u"walk/docs"_s) && QDir(Path(u"outside"_s)).mkpath(u"walk"_s));
        WriteFile(Path(u"area/walk/docs/inside.txt"_s), "inside");
        WriteFile(Path(u"outside/walk/secret.txt"_s), "SECRET");
        QVERIFY(QFile::link(Path(u"outside/walk"_s), Path(u"area/walk/swap"_s)));
        RaceSupport::CExchanger exchanger(Path(u"area/walk/docs"_s), Path(u"area/walk/swap"_s));
        if (const QString refusal = exchanger.Refusal(); !refusal.isEmpty())
            QSKIP(qPrintable(refusal));

        exchanger.Start();
        QStringList taken;
        for (int round = 0; round < 500; ++round) {
            CollectedFiles found;
            QVERIFY(CollectFiles(Path(u"area/walk"_s), true, found));
            taken += found.files;
        }
        exchanger.Stop();
        QVERIFY(exchanger.Exchanges() > 0);
        taken.removeDuplicates();
        for (const QString& file : std::as_const(taken))
            QVERIFY2(file.endsWith(u"/inside.txt"_s), qPrintable(file));
    }

    // The dialog copies a stored local location of a subdirectory into the host directory while
    // that subdirectory keeps changing places with a link to outside: the outside file never
    // arrives in the area.
    void copyWhileADirectoryIsExchanged()
    {
        QVERIFY(QDir(Path(u"area"_s)).mkpath(u"pub"_s) && QDir(Path(u"outside"_s)).mkpath(u"pub"_s));
        WriteFile(Path(u"area/pub/pkg.zip"_s), "inside");
        WriteFile(Path(u"outside/pub/pkg.zip"_s), "SECRET");
        QVERIFY(QFile::link(Path(u"outside/pub"_s), Path(u"area/pub-swap"_s)));
        RaceSupport::CExchanger exchanger(Path(u"area/pub"_s), Path(u"area/pub-swap"_s));
        if (const QString refusal = exchanger.Refusal(); !refusal.isEmpty())
            QSKIP(qPrintable(refusal));

        exchanger.Start();
        for (int round = 0; round < 150; ++round) {
            bool closed = false;
            const QStringList texts = CopyStoredLocation(u"local://1/pub/pkg.zip"_s, &closed);
            QVERIFY(!texts.isEmpty());
            if (closed) {
                QCOMPARE(texts, QStringList{kCopy});
                // Taken away again, so that the next round copies anew rather than asks to replace.
                QCOMPARE(ReadFile(Path(u"area/pkg.zip"_s)), QByteArray("inside"));
                QVERIFY(QFile::remove(Path(u"area/pkg.zip"_s)));
            } else {
                QVERIFY2(texts.last().startsWith(kCopyFailed + u'\n'), qPrintable(texts.last()));
                QVERIFY(!QFileInfo::exists(Path(u"area/pkg.zip"_s)));
            }
        }
        exchanger.Stop();
        QVERIFY(exchanger.Exchanges() > 0);
        QCOMPARE(ReadFile(Path(u"outside/pub/pkg.zip"_s)), QByteArray("SECRET"));
    }

    // A link planted on the way ("docs" -> outside) and a link in the file's place: deleting
    // refuses and names the link, the dialog's copy refuses and says why, the dialog does not
    // publish the link, and everything outside stays.
    void plantedLinks()
    {
        WriteFile(Path(u"outside/id_rsa"_s), "SECRET");
        QVERIFY(QDir(Path(u"area/docs"_s)).removeRecursively());
        QVERIFY(QFile::link(Path(u"outside"_s), Path(u"area/docs"_s)));
        QVERIFY(QFile::link(Path(u"outside/id_rsa"_s), Path(u"area/key"_s)));

        CRecordedPrompts prompts;
        DeleteLocalCopies(0, {u"local://1/docs/id_rsa"_s}, prompts);
        QCOMPARE(prompts.notDeleted, QStringList{Path(u"area/docs/id_rsa"_s)});
        QCOMPARE(prompts.faults[0].kind, FileFault::Kind::Link);
        QCOMPARE(prompts.faults[0].name, Path(u"area/docs"_s));
        QCOMPARE(ReadFile(Path(u"outside/id_rsa"_s)), QByteArray("SECRET"));

        // Through the removal's own message box: the file meant, and the link that stopped it.
        CFileRecord cursor(&theDatabaseManager);
        CFileRemover remover(nullptr, cursor, {}, CFileRemover::Kind::Delete);
        DeleteLocalCopies(0, {u"local://1/docs/id_rsa"_s}, remover);
        const auto boxes = CMessageBox::TakeRequests();
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, u"The file "_s + Path(u"area/docs/id_rsa"_s) +
                                    u" could not be deleted from disk.\n"_s + Path(u"area/docs"_s) + kIsLink);

        bool closed = true;
        QCOMPARE(CopyStoredLocation(u"local://1/docs/id_rsa"_s, &closed),
                 (QStringList{kCopy, kCopyFailed + u'\n' + Path(u"area/docs"_s) + kIsLink}));
        QVERIFY(!closed);
        QVERIFY(!QFileInfo::exists(Path(u"area/id_rsa"_s)));

        // Already in the host directory, so nothing to copy: a link there is not published.
        QCOMPARE(CopyStoredLocation(u"local://1/key"_s, &closed), QStringList{Path(u"area/key"_s) + kIsLink});
        QVERIFY(!closed);
        // Nor does the Add File wizard take the size and date of what it points to.
        QVERIFY(!ReadLocalFileFacts(Path(u"area/key"_s)));
        QCOMPARE(ReadLocalFileFacts(Path(u"outside/id_rsa"_s))->size, 6u);

        // A final link is deleted itself, never what it points to.
        DeleteLocalCopies(0, {u"local://1/key"_s}, prompts);
        QCOMPARE(prompts.notDeleted.size(), 1);
        QVERIFY(!QFileInfo(Path(u"area/key"_s)).isSymLink());
        QCOMPARE(ReadFile(Path(u"outside/id_rsa"_s)), QByteArray("SECRET"));
        QVERIFY(QFile::remove(Path(u"area/docs"_s)));
    }

    // "area2" begins with the name "area" but lies beside it: reached by "..", or by a link in the
    // area to it, its files are outside "area" and never touched through a location of "area".
    void siblingAreaIsOutside()
    {
        WriteFile(Path(u"area2/f.zip"_s), "the sibling's");
        QVERIFY(QFile::link(u"../area2/"_s, Path(u"area/x"_s)));

        CRecordedPrompts prompts;
        DeleteLocalCopies(0, {u"local://1/../area2/f.zip"_s, u"local://1/x/f.zip"_s}, prompts);
        QCOMPARE(prompts.outside, QStringList{u"local://1/../area2/f.zip"_s});
        QCOMPARE(prompts.notDeleted, QStringList{Path(u"area/x/f.zip"_s)});
        QCOMPARE(prompts.faults[0].kind, FileFault::Kind::Link);
        QCOMPARE(ReadFile(Path(u"area2/f.zip"_s)), QByteArray("the sibling's"));

        bool closed = true;
        QCOMPARE(CopyStoredLocation(u"local://1/x/f.zip"_s, &closed),
                 (QStringList{kCopy, kCopyFailed + u'\n' + Path(u"area/x"_s) + kIsLink}));
        QVERIFY(!closed);
        QVERIFY(!QFileInfo::exists(Path(u"area/f.zip"_s)));

        // Through its own area, the same file is deleted.
        DeleteLocalCopies(0, {u"local://2/f.zip"_s}, prompts);
        QVERIFY(!QFileInfo::exists(Path(u"area2/f.zip"_s)));
        QVERIFY(QFile::remove(Path(u"area/x"_s)));
    }
};

QTEST_MAIN(TestAreaRace)
#include "tst_arearace.moc"

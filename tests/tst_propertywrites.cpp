// Writes the File Properties sheet makes for the user either land or say why they did not: a lock
// the web site holds too long, a value the site refuses, a file deleted meanwhile. The user's
// values stay in the sheet so that OK can be tried again.

#include "FileSheetSupport.h"
#include "properties/CFileAreasPage.h"
#include "properties/CFileGeneralPage.h"
#include "properties/CFileUrlsPage.h"

#include <QListWidget>
#include <QPushButton>

using namespace Qt::StringLiterals;
using namespace DatabaseSupport;
using namespace DialogSupport;
using namespace FileSheetSupport;

namespace {

// How the site gets in the way of the sheet's OK.
enum class Obstacle
{
    HoldsTheLock,  // a write transaction longer than the explorer waits
    RefusesValues, // a rule of its own against the change
    DeletedFile,   // the file is gone
};

} // namespace

Q_DECLARE_METATYPE(Obstacle)

class TestPropertyWrites : public CFileSheetTest
{
    Q_OBJECT

private:
    // The site takes the write lock that every writer needs, and keeps it until Release.
    bool HoldWriteLock()
    {
        if (OnPostgres())
            return m_site->Run(u"BEGIN"_s) && m_site->Run(u"LOCK TABLE files IN EXCLUSIVE MODE"_s);
        return m_site->Run(u"BEGIN IMMEDIATE"_s);
    }

    // The sheet's one message, and whether the sheet is still open.
    QString OkMessage(CFilePropertySheet& sheet)
    {
        sheet.PressOK();
        const QStringList messages = TakeDescribed();
        return sheet.isVisible() && messages.size() == 1 ? messages[0] : messages.join(u" / "_s);
    }

private slots:
    void initTestCase() { OpenLibrary(); }
    void init() { OpenWindow(); }
    void cleanup()
    {
        CloseWindow();
        QVERIFY(m_site->AllowWrites(u"files"_s) && m_site->AllowWrites(u"file_area"_s) &&
                m_site->AllowWrites(u"download"_s));
    }

    void okThatCannotWriteSaysWhyAndStaysOpen_data()
    {
        QTest::addColumn<Obstacle>("obstacle");
        QTest::addColumn<QStringList>("reason"); // what the message says of it
        QTest::newRow("site holds the lock")
            << Obstacle::HoldsTheLock
            << QStringList{OnPostgres() ? u"lock timeout"_s : u"database is locked"_s,
                           u" (another program, such as the web site, kept the database locked for more than 5 "
                           u"seconds)\n"_s};
        QTest::newRow("site refuses the change") << Obstacle::RefusesValues << QStringList{u"titles are frozen"_s};
        QTest::newRow("file deleted")
            << Obstacle::DeletedFile
            << QStringList{u"The file is no longer in the database: another program has deleted it."_s};
    }

    void okThatCannotWriteSaysWhyAndStaysOpen()
    {
        QFETCH(Obstacle, obstacle);
        QFETCH(QStringList, reason);
        const QString title = u"Edited %1"_s.arg(int(obstacle));
        const double id = AddAndSelect(u"Obstacle %1"_s.arg(int(obstacle)),
                                       u"http://a.example/obstacle%1.zip"_s.arg(int(obstacle)));
        const int result = RunSheet([&](CFilePropertySheet& sheet) {
            CFileGeneralPage* general = sheet.GetGeneralPage();
            general->GetTitleEdit()->setText(title);
            general->GetDownloadsEdit()->setText(u"77"_s);
            switch (obstacle) {
            case Obstacle::HoldsTheLock:
                QVERIFY(HoldWriteLock());
                break;
            case Obstacle::RefusesValues:
                QVERIFY(m_site->RefuseWrites(u"UPDATE"_s, u"files"_s, u"true"_s, u"titles are frozen"_s));
                break;
            case Obstacle::DeletedFile:
                QVERIFY(m_site->Run(u"DELETE FROM download WHERE file_id = ?"_s, {id}));
                QVERIFY(m_site->Run(u"DELETE FROM file_area WHERE file_id = ?"_s, {id}));
                QVERIFY(m_site->Run(u"DELETE FROM files WHERE file_id = ?"_s, {id}));
                break;
            }
            const QString message = OkMessage(sheet);
            QVERIFY2(message.startsWith(u"warning | OK | The changes to \"%1\" could not be stored:\n"_s.arg(title)),
                     qPrintable(message));
            for (const QString& part : reason)
                QVERIFY2(message.contains(part), qPrintable(message));
            QVERIFY(message.endsWith(u"\n\nPress OK to try again, or Cancel to give them up."_s));
            // The user's values are still there for the next try.
            QCOMPARE(general->GetTitleEdit()->text(), title);

            switch (obstacle) {
            case Obstacle::HoldsTheLock:
                QVERIFY(m_site->Run(u"COMMIT"_s));
                break;
            case Obstacle::RefusesValues:
                QVERIFY(m_site->AllowWrites(u"files"_s));
                break;
            case Obstacle::DeletedFile:
                // Nothing will bring it back: the same answer, then Cancel.
                QCOMPARE(OkMessage(sheet), message);
                sheet.PressCancel();
                return;
            }
            sheet.PressOK();
            QCOMPARE(TakeDescribed(), QStringList());
        });
        const auto stored = Stored(id);
        if (obstacle == Obstacle::DeletedFile) {
            QCOMPARE(result, int(QDialog::Rejected));
            QVERIFY(!stored);
            QCOMPARE(m_site->Value(u"SELECT count(*) FROM files WHERE title = ?"_s, {title}).toInt(), 0);
            return;
        }
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(stored->title, title);
        QCOMPARE(stored->downloads, 77.0);
        QVERIFY(FrameSupport::RowNamed(Frame(), title) >= 0); // the row shows what was stored
    }

    // Links and locations are written at once; one the site refuses is reported at once, and the
    // page shows what the database holds.
    void areaAndLocationWritesThatFailSayWhy()
    {
        const double id = AddAndSelect(u"Held"_s, u"http://a.example/held.zip"_s);
        QStringList messages;
        RunSheet([&](CFilePropertySheet& sheet) {
            QVERIFY(sheet.SetActivePage(2));
            CFileAreasPage* areas = sheet.GetAreasPage();
            auto click = [&](double areaId) {
                areas->GetTree()->setCurrentItem(AreaItems(areas->GetTree(), areaId).value(0));
                areas->OnClickTree();
                messages += TakeDescribed();
            };
            QVERIFY(m_site->RefuseWrites(u"INSERT"_s, u"file_area"_s, u"true"_s, u"no new links"_s));
            click(kProgramming);
            QVERIFY(m_site->AllowWrites(u"file_area"_s));
            QVERIFY(m_site->RefuseWrites(u"DELETE"_s, u"file_area"_s, u"true"_s, u"links are kept"_s));
            click(kText);
            QCOMPARE(AreaItems(areas->GetTree(), kText).value(0)->checkState(0), Qt::Checked);
            QCOMPARE(areas->GetAreaIds(), QList<double>{kText});
            QVERIFY(m_site->AllowWrites(u"file_area"_s));

            QVERIFY(sheet.SetActivePage(3));
            CFileUrlsPage* urls = sheet.GetUrlsPage();
            QVERIFY(m_site->RefuseWrites(u"INSERT"_s, u"download"_s, u"true"_s, u"no new locations"_s));
            AnswerUrlDialog(u"http://b.example/more.zip"_s);
            urls->OnAdd();
            messages += TakeDescribed();
            QVERIFY(m_site->AllowWrites(u"download"_s));
            QVERIFY(m_site->RefuseWrites(u"DELETE"_s, u"download"_s, u"true"_s, u"locations are kept"_s));
            urls->GetList()->setCurrentRow(0);
            CMessageBox::QueueAnswer(QMessageBox::Yes);
            urls->OnRemove();
            messages += TakeDescribed().mid(1); // after the question
            QCOMPARE(Items(urls->GetList()), QStringList{u"http://a.example/held.zip"_s});
            // Nothing was changed, so Cancel still undoes the sheet.
            QCOMPARE(sheet.GetButton(CPropertySheet::kCancelButton)->text(), u"Cancel"_s);
            sheet.PressCancel();
        });
        QCOMPARE(AreasOf(id), QList<double>{kText});
        QCOMPARE(LocationsOf(id), QStringList{u"http://a.example/held.zip"_s});
        const QStringList expected{
            u"warning | OK | The file could not be put into the area Programming:\n"_s,
            u"warning | OK | The file could not be taken out of the area Text Files:\n"_s,
            u"warning | OK | The location http://b.example/more.zip could not be added:\n"_s,
            u"warning | OK | The location http://a.example/held.zip could not be removed:\n"_s,
        };
        const QStringList reasons{u"no new links"_s, u"links are kept"_s, u"no new locations"_s,
                                  u"locations are kept"_s};
        QCOMPARE(messages.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QVERIFY2(messages[i].startsWith(expected[i]) && messages[i].contains(reasons[i]),
                     qPrintable(messages[i]));
        }
    }
};

QTEST_MAIN(TestPropertyWrites)
#include "tst_propertywrites.moc"

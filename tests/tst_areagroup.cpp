// The read-only sheets of file areas and file groups, from the list and from the tree's pop-up.

#include "CommandHostSupport.h"
#include "controls/CModalRun.h"
#include "controls/CPropertySheet.h"
#include "DemoSupport.h"
#include "properties/AreaGroupProperties.h"
#include "properties/CAreaGeneralPage.h"
#include "properties/CGroupGeneralPage.h"
#include "properties/PropertiesCommand.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QTemporaryDir>

using namespace CommandHostSupport;
using namespace TestSupport;

class TestAreaGroup : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<CFakeCommandHost> m_host;

    struct Shown
    {
        QString title;
        QStringList texts;   // the area page's four values, or the group page's entries
        QStringList checked; // the marked boxes or entries
        bool changeable = false;
    };

    // Shows the node, or its folder row of this name too (for the list's Properties).
    void Select(const QString& node, const QString& row = QString())
    {
        QVERIFY2(m_host->Show(node), qPrintable(node));
        QVERIFY2(row.isEmpty() || m_host->SelectFolder(row), qPrintable(row));
    }

    // Runs the command and reads the sheet it opens, then ends it with OK or (by default) Cancel.
    Shown Run(void (*command)(CommandHost&), bool ok = false)
    {
        Shown shown;
        CModalRun::QueueHandler([&](QDialog& dialog) {
            auto& sheet = static_cast<CPropertySheet&>(dialog);
            shown.title = sheet.windowTitle();
            if (auto* area = dynamic_cast<CAreaGeneralPage*>(sheet.GetPage(0))) {
                for (QLineEdit* label : {area->GetNameField(), area->GetPathField(), area->GetFtpAliasField(),
                                      area->GetHttpAliasField()})
                    shown.texts.append(label->text());
                for (QCheckBox* box : {area->GetUploadsBox(), area->GetDownloadsBox()}) {
                    if (box->isChecked())
                        shown.checked.append(box->text());
                    shown.changeable = shown.changeable || box->isEnabled();
                }
            } else if (auto* group = dynamic_cast<CGroupGeneralPage*>(sheet.GetPage(0))) {
                QListWidget* list = group->GetAreaList();
                for (int i = 0; i < list->count(); ++i) {
                    shown.texts.append(list->item(i)->text());
                    if (list->item(i)->checkState() == Qt::Checked)
                        shown.checked.append(list->item(i)->text());
                    shown.changeable = shown.changeable || (list->item(i)->flags() & Qt::ItemIsUserCheckable);
                }
            }
            if (ok)
                sheet.PressOK();
            else
                sheet.PressCancel();
            return sheet.result();
        });
        command(*m_host);
        if (CModalRun::PendingHandlers() != 0) {
            CModalRun::ClearHandlers();
            shown.title = u"(no sheet)"_s;
        }
        return shown;
    }

private slots:
    void initTestCase()
    {
        TROVEPORT_OPEN_DEMO_LIBRARY(m_dir);
        // A group that lists Programming twice and an area the table does not have.
        WriteFile(g_strDatabasePath + u"/Twice.group"_s, GroupIds({5, 99, 5}));
        m_host = std::make_unique<CFakeCommandHost>();
    }

    void cleanupTestCase() { m_host.reset(); }

    void checkedEntries()
    {
        // Each id of the group marks the first entry with that id, once.
        QCOMPARE(CheckedAreaEntries({4, 9, 4, 2}, {4, 4, 12, 2}), (QList<bool>{true, false, false, true}));
    }

    void groupSheets()
    {
        const QStringList allAreas{u"Classic Arcade"_s,   u"DOS Utilities"_s,   u"Incoming Uploads"_s,
                                   u"Programming"_s,      u"Shareware Games"_s, u"Text Files"_s,
                                   u"Windows Utilities"_s};
        Select(u"Twice"_s);
        Shown shown = Run(RunTreePropertiesCommand);
        QCOMPARE(shown.title, u"File Group Properties"_s);
        QCOMPARE(shown.texts, allAreas);
        QCOMPARE(shown.checked, QStringList{u"Programming"_s});
        QVERIFY(!shown.changeable);

        // Under the root the list's rows are the groups; "Search results" is a name no group has.
        Select(QString(), u"Games"_s);
        shown = Run(RunPropertiesCommand);
        QCOMPARE(shown.checked, (QStringList{u"Classic Arcade"_s, u"Shareware Games"_s}));
        Select(QString(), u"Search results"_s);
        shown = Run(RunPropertiesCommand);
        QCOMPARE(shown.title, u"File Group Properties"_s);
        QCOMPARE(shown.texts, allAreas);
        QCOMPARE(shown.checked, QStringList());
    }

    // Every file of the database directory, by name, with its bytes.
    static QMap<QString, QByteArray> Snapshot()
    {
        QMap<QString, QByteArray> files;
        for (const QString& name : Entries(g_strDatabasePath))
            files.insert(name, ReadFile(g_strDatabasePath + u'/' + name));
        return files;
    }

    // Looking at a group or an area, and closing the sheet either way, neither creates nor changes a
    // file: a group file looked for and missing stays missing, so no phantom group appears at the
    // next start.
    void sheetsLeaveTheDirectoryAlone_data()
    {
        QTest::addColumn<QString>("node");
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("ok");
        QTest::newRow("search results, OK") << QString() << u"Search results"_s << true;
        QTest::newRow("search results, Cancel") << QString() << u"Search results"_s << false;
        QTest::newRow("a group, OK") << QString() << u"Games"_s << true;
        QTest::newRow("a group, Cancel") << QString() << u"Twice"_s << false;
        QTest::newRow("an area, OK") << u"Games"_s << u"Shareware Games"_s << true;
    }

    void sheetsLeaveTheDirectoryAlone()
    {
        QFETCH(QString, node);
        QFETCH(QString, row);
        QFETCH(bool, ok);
        const QMap<QString, QByteArray> before = Snapshot();
        QVERIFY(!before.isEmpty());
        // Nor did any case before this one (whatever order they run in) leave a phantom group.
        QVERIFY(!before.contains(u"Search results.group"_s));
        Select(node, row);
        QVERIFY(Run(RunPropertiesCommand, ok).title.startsWith(u"File "_s));
        QCOMPARE(Snapshot().keys(), before.keys());
        QVERIFY(Snapshot() == before);
    }

    void areaSheets()
    {
        // Under a group the list's rows are its areas.
        Select(u"Uploads"_s, u"Incoming Uploads"_s);
        Shown shown = Run(RunPropertiesCommand);
        QCOMPARE(shown.title, u"File Area Properties"_s);
        QCOMPARE(shown.texts, (QStringList{u"Incoming Uploads"_s,
                                           g_strDatabasePath.section(u'/', 0, -2) + u"/areas/incoming"_s,
                                           u"/pub/files/incoming"_s, u"/files/incoming"_s}));
        QCOMPARE(shown.checked, QStringList{u"Allow File Uploads"_s});
        QVERIFY(!shown.changeable);

        Select(u"Games/Shareware Games"_s);
        shown = Run(RunTreePropertiesCommand);
        QCOMPARE(shown.texts.value(0), u"Shareware Games"_s);
        QCOMPARE(shown.checked, QStringList{u"Allow File Downloads"_s});

        // An id the table does not hold: empty texts, no marks.
        const CAreaGeneralPage missing(12345);
        QCOMPARE(missing.GetNameField()->text() + missing.GetPathField()->text(), QString());
        QVERIFY(!missing.GetUploadsBox()->isChecked() && !missing.GetDownloadsBox()->isChecked());
    }
};

QTEST_MAIN(TestAreaGroup)
#include "tst_areagroup.moc"

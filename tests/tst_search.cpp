// Searching: the statement built from a text and the chosen fields, the File Search dialog's check
// list, and the Find command against a real library.

#include "controls/CFolderTreeModel.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "controls/CTreeItem.h"
#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "database/SearchStatement.h"
#include "DemoSupport.h"
#include "explorer/CFileListModel.h"
#include "explorer/CFileSearchDialog.h"
#include "explorer/CFolderTreeView.h"
#include "explorer/CMainFrame.h"
#include "FrameSupport.h"
#include "settings/Globals.h"
#include "startup/Startup.h"
#include "TestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

using namespace TestSupport;

class TestSearch : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static void ClickCheckBox(CSearchFieldList* list, int row, bool twice = false)
    {
        const QPoint point = list->CheckBoxRect(list->model()->index(row, 0)).center();
        if (twice)
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, point);
        else
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, point);
    }

    static QString States(const CSearchFieldList* list)
    {
        QString states;
        for (int i = 0; i < list->count(); ++i)
            states += list->item(i)->checkState() == Qt::Checked ? QLatin1Char('x') : QLatin1Char('-');
        return states;
    }

    static QList<int> SelectedRows(const CSearchFieldList* list)
    {
        QList<int> rows;
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->isSelected())
                rows.append(i);
        return rows;
    }

private slots:
    void initTestCase()
    {
        TROVEPORT_OPEN_DEMO_LIBRARY(m_dir);
        CMessageBox::SetAnsweringMode(true);
    }

    void theStatementAsWritten()
    {
        QCOMPARE(
            BuildSearchStatement(u"abc"_s, kSearchTitle | kSearchUrl),
            QStringLiteral("select distinctrow files.* from files inner join download on files.file_id = "
                           "download.file_id where files.title like '%abc%' or download.url like '%abc%' "
                           "order by files.TITLE"));
        QCOMPARE(BuildSearchStatement(QString(), 0x3F), QString());
        QCOMPARE(BuildSearchStatement(u"abc"_s, 0x40), QString()); // no known field
        // The text goes in as typed, %1 included; a quote is doubled so that it stays in the literal.
        QCOMPARE(BuildSearchStatement(u"50%_%1"_s, kSearchTitle),
                 QStringLiteral("select distinctrow files.* from files where files.title like '%50%_%1%' "
                                "order by files.TITLE"));

        // A quote is searched for; text after one never runs as part of the statement.
        const auto found = [](const QString& text) {
            CFileRecord cursor(&theDatabaseManager);
            return cursor.Open(BuildSearchStatement(text, kSearchTitle)) ? cursor.GetRecordCount() : -1;
        };
        QCOMPARE(found(u"Hugo's"_s), 1);
        QCOMPARE(found(u"' or 1=1 or files.title like '"_s), 0);
    }

    void everyFieldCombination()
    {
        const char* columns[] = {"files.title",     "files.short_desc", "files.long_desc",
                                 "files.upld_name", "files.upld_email", "download.url"};
        for (quint32 fields = 1; fields < 64; ++fields) {
            const QString sql = BuildSearchStatement(u"t"_s, fields);
            QVERIFY(sql.endsWith(QLatin1String(" order by files.TITLE")));
            QCOMPARE(sql.contains(QLatin1String(" inner join download ")), bool(fields & kSearchUrl));
            QCOMPARE(int(sql.count(QLatin1String(" like '%t%'"))), qPopulationCount(fields));
            QCOMPARE(int(sql.count(QLatin1String(" or "))), qPopulationCount(fields) - 1);
            // The chosen columns appear in the order of the list.
            qsizetype at = sql.indexOf(QLatin1String(" where "));
            for (int bit = 0; bit < 6; ++bit) {
                const qsizetype found = sql.indexOf(QLatin1String(columns[bit]) + QLatin1String(" like"));
                QCOMPARE(found >= 0, bool(fields & (1u << bit)));
                if (found >= 0) {
                    QVERIFY(found > at);
                    at = found;
                }
            }
        }
    }

    void checkBoxClicksFollowTheSelection()
    {
        CFileSearchDialog dialog(u"t"_s, kSearchTitle | kSearchShortDesc);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        CSearchFieldList* list = dialog.GetFieldList();
        QCOMPARE(States(list), u"xx----"_s);

        // Outside the selection: the entry changes and becomes the selection.
        ClickCheckBox(list, 3);
        QCOMPARE(States(list), u"xx-x--"_s);
        QCOMPARE(SelectedRows(list), QList<int>{3});

        // Inside a selection mostly checked: all of it unchecked, the selection kept.
        list->clearSelection();
        for (int row : {0, 1, 2})
            list->item(row)->setSelected(true);
        ClickCheckBox(list, 1);
        QCOMPARE(States(list), u"---x--"_s);
        QCOMPARE(SelectedRows(list), (QList<int>{0, 1, 2}));
        // Now mostly unchecked: all of it checked.
        list->item(2)->setCheckState(Qt::Checked);
        ClickCheckBox(list, 0);
        QCOMPARE(States(list), u"xxxx--"_s);
        // A tie counts as checked, so it turns to unchecked.
        list->clearSelection();
        for (int row : {3, 4})
            list->item(row)->setSelected(true);
        ClickCheckBox(list, 4);
        QCOMPARE(States(list), u"xxx---"_s);
        QCOMPARE(SelectedRows(list), (QList<int>{3, 4}));

        // A drag that starts on a selected entry's check box selects nothing else.
        const QPoint box = list->CheckBoxRect(list->model()->index(3, 0)).center();
        QTest::mousePress(list->viewport(), Qt::LeftButton, Qt::NoModifier, box);
        QMouseEvent drag(QEvent::MouseMove, QPointF(box + QPoint(2, 30)),
                         list->viewport()->mapToGlobal(QPointF(box + QPoint(2, 30))), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &drag);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, Qt::NoModifier, box + QPoint(2, 30));
        QCOMPARE(States(list), u"xxxxx-"_s);
        QCOMPARE(SelectedRows(list), (QList<int>{3, 4}));
        for (int row : {3, 4})
            list->item(row)->setCheckState(Qt::Unchecked);

        // A double click on a check box is one more click.
        list->clearSelection();
        ClickCheckBox(list, 5, true);
        QCOMPARE(States(list), u"xxx--x"_s);
        // Clicking the text, not the box, only selects.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualItemRect(list->item(0)).center() + QPoint(30, 0));
        QCOMPARE(States(list), u"xxx--x"_s);
        QCOMPARE(SelectedRows(list), QList<int>{0});
        QCOMPARE(dialog.GetFields(), quint32(kSearchTitle | kSearchShortDesc | kSearchLongDesc | kSearchUrl));
    }

    void findRenamesAndListsTheResults()
    {
        CMainFrame frame;
        frame.show();
        QTRY_VERIFY(frame.IsLaidOut());
        QCoreApplication::processEvents();
        CMessageBox::TakeRequests();

        auto answer = [](const QString& text, quint32 fields) {
            CModalRun::QueueHandler([text, fields](QDialog& dialog) {
                auto& search = static_cast<CFileSearchDialog&>(dialog);
                search.GetTextEdit()->setText(text);
                for (int i = 0; i < 6; ++i)
                    search.GetFieldList()->item(i)->setCheckState((fields & (1u << i)) ? Qt::Checked
                                                                                       : Qt::Unchecked);
                return int(QDialog::Accepted);
            });
        };

        answer(u"zip"_s, kSearchTitle | kSearchShortDesc | kSearchLongDesc);
        frame.RunCommand(Command::FindFiles);
        FrameSupport::WaitForList(frame);
        QCOMPARE(frame.GetSelectedTreeItem(), frame.GetSearchResultsItem());
        QCOMPARE(frame.GetSearchResultsItem()->GetName(), u"Search results (\"zip\")"_s);
        QCOMPARE(frame.GetTreeModel()->IndexForItem(frame.GetSearchResultsItem()).data().toString(),
                 u"Search results (\"zip\")"_s);
        QCOMPARE(frame.GetListModel()->rowCount(), 2); // PKZIP and WinZip
        QCOMPARE(CMessageBox::TakeRequests().size(), 0);

        // The URL field finds files by their locations; rows come in title order.
        answer(u"local://1/"_s, kSearchUrl);
        frame.RunCommand(Command::FindFiles);
        FrameSupport::WaitForList(frame);
        QStringList titles;
        for (int row = 0; row < frame.GetListModel()->rowCount(); ++row)
            titles.append(frame.GetListModel()->index(row, 0).data().toString());
        QCOMPARE(titles, (QStringList{u"Chess 88"_s, u"Commander Keen 4"_s, u"Hugo's House of Horrors"_s,
                                      u"Jazz Jackrabbit"_s, u"Scorched Earth"_s}));

        // Nothing found: an empty list and the message, once; Refresh runs the search again.
        answer(u"no such thing"_s, kSearchTitle);
        frame.RunCommand(Command::FindFiles);
        FrameSupport::WaitForList(frame);
        QCOMPARE(frame.GetListModel()->rowCount(), 0);
        const auto requests = CMessageBox::TakeRequests();
        QCOMPARE(requests.size(), 1);
        // The box is answered under the normal arrow: the list is done, and it was never the wait.
        QVERIFY(requests[0].cursor.value_or(Qt::ArrowCursor) == Qt::ArrowCursor);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        frame.RunCommand(Command::Refresh);
        FrameSupport::WaitForList(frame);
        QCOMPARE(CMessageBox::TakeRequests().size(), 1);

        // Cancel changes nothing; nothing checked keeps 0 and shows every field next time.
        CModalRun::QueueHandler([](QDialog&) { return int(QDialog::Rejected); });
        frame.RunCommand(Command::FindFiles);
        QCOMPARE(frame.m_strSearchText, u"no such thing"_s);
        answer(u"keen"_s, 0);
        frame.RunCommand(Command::FindFiles);
        FrameSupport::WaitForList(frame);
        QCOMPARE(frame.m_dwSearchFields, 0u);
        QCOMPARE(frame.GetListModel()->rowCount(), 0);
        QCOMPARE(CMessageBox::TakeRequests().size(), 1);
        quint32 shownFields = 99;
        CModalRun::QueueHandler([&shownFields](QDialog& dialog) {
            shownFields = static_cast<CFileSearchDialog&>(dialog).GetFields();
            return int(QDialog::Rejected);
        });
        frame.RunCommand(Command::FindFiles);
        QCOMPARE(shownFields, 0x3Fu);
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"

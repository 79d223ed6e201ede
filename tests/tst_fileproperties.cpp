// The File Properties sheet driven through the explorer window offscreen on a demonstration library.

#include "adding/download/CDownloadUrlDialog.h"
#include "controls/CDateEdit.h"
#include "FileSheetSupport.h"
#include "properties/CFileAreasPage.h"
#include "properties/CFileDescriptionPage.h"
#include "properties/CFileGeneralPage.h"
#include "properties/CFileUrlsPage.h"
#include "properties/FileProperties.h"
#include "reviews/CReviewsPage.h"
#include "settings/Globals.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QDateTime>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;
using namespace DatabaseSupport;
using namespace FileSheetSupport;
using namespace DialogSupport;
using namespace FrameSupport;
using namespace TestSupport;

namespace {

QList<Qt::CheckState> Marks(const QList<QTreeWidgetItem*>& items)
{
    QList<Qt::CheckState> marks;
    for (const QTreeWidgetItem* item : items)
        marks.append(item->checkState(0));
    return marks;
}

} // namespace

class TestFileProperties : public CFileSheetTest
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        OpenLibrary();
        // A column the web site keeps for itself: the explorer never writes it.
        QVERIFY(m_site->Run(u"ALTER TABLE files ADD COLUMN rating INTEGER NOT NULL DEFAULT 0"_s));
    }

    void init() { OpenWindow(); }
    void cleanup() { CloseWindow(); }

    void okWritesTheWorkingCopyAndShowsTheRowAfresh()
    {
        const double id = AddAndSelect(u"Old Title"_s, u"http://a.example/old.zip"_s);
        const int row = RowNamed(Frame(), u"Old Title"_s);
        const int result = RunSheet([&](CFilePropertySheet& sheet) {
            CFileGeneralPage* general = sheet.GetGeneralPage();
            QCOMPARE(general->GetTitleEdit()->text(), u"Old Title"_s);
            QCOMPARE(general->GetFileSizeEdit()->text(), u"1234"_s);
            general->GetTitleEdit()->setText(u"New Title"_s);
            general->GetVersionEdit()->setText(u"2.5b"_s);
            general->GetFileSizeEdit()->setText(u"98765"_s);
            general->GetDownloadsEdit()->setText(u"12"_s);
            general->GetNameEdit()->setText(u"Ann Author"_s);
            general->GetEmailEdit()->setText(u"ann@example.org"_s);
            general->GetRequiresFormBox()->setChecked(true);
            QVERIFY(sheet.SetActivePage(1));
            sheet.GetDescriptionPage()->GetBriefEdit()->setText(u"Brief now"_s);
            QVERIFY(m_site->Run(u"UPDATE files SET rating = 9 WHERE file_id = ?"_s, {id}));
            sheet.PressOK();
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(TakeDescribed(), QStringList());
        const auto stored = Stored(id);
        QVERIFY(stored);
        QCOMPARE((QVariantList{stored->title, stored->version, stored->file_size, stored->downloads,
                               stored->upld_name, stored->upld_email, stored->requires_form,
                               stored->short_desc, stored->long_desc}),
                 (QVariantList{u"New Title"_s, u"2.5b"_s, 98765.0, 12.0, u"Ann Author"_s,
                               u"ann@example.org"_s, 1, u"Brief now"_s, u"Long text."_s}));
        QCOMPARE(m_site->Value(u"SELECT rating FROM files WHERE file_id = ?"_s, {id}).toInt(), 9);
        const CFileListModel* model = Frame().GetListModel();
        QCOMPARE(model->index(row, CFileListModel::kName).data().toString(), u"New Title"_s);
        QCOMPARE(model->index(row, CFileListModel::kDescription).data().toString(), u"Brief now"_s);
    }

    void cancelAndUnvisitedPagesKeepTheStoredValues()
    {
        const double id = AddAndSelect(u"Kept"_s, u"http://a.example/kept.zip"_s);
        int result = RunSheet([](CFilePropertySheet& sheet) {
            sheet.GetGeneralPage()->GetTitleEdit()->setText(u"Thrown Away"_s);
            sheet.PressCancel();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(Stored(id)->title, u"Kept"_s);

        // A page never opened does not put back what the site changed meanwhile.
        QVERIFY(m_site->Run(u"UPDATE files SET long_desc = 'By the site' WHERE file_id = ?"_s, {id}));
        SelectFile(u"Kept"_s);
        result = RunSheet([](CFilePropertySheet& sheet) {
            QVERIFY(sheet.SetActivePage(3));
            sheet.PressOK();
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(Stored(id)->long_desc, u"By the site"_s);
    }

    void generalChecksInTheirOrder()
    {
        const double id = AddAndSelect(u"Checked"_s, u"http://a.example/checked.zip"_s);
        QStringList messages;
        QStringList focused;
        const int result = RunSheet([&](CFilePropertySheet& sheet) {
            CFileGeneralPage* page = sheet.GetGeneralPage();
            auto press = [&] {
                sheet.PressOK();
                messages += TakeDescribed();
                focused.append(sheet.focusWidget() ? sheet.focusWidget()->accessibleName() : QString());
            };
            // Values longer than the fields take arrive from elsewhere (an upload).
            for (QLineEdit* edit : {page->GetNameEdit(), page->GetEmailEdit(), page->GetTitleEdit()})
                edit->setMaxLength(1000);
            page->GetNameEdit()->setText(QString(255, u'n'));
            page->GetEmailEdit()->setText(QString(255, u'e'));
            page->GetFileSizeEdit()->setText(u"12 kB"_s);
            page->GetTitleEdit()->setText(QString(31, u't'));
            page->GetDownloadsEdit()->setText(QString());
            press();
            page->GetNameEdit()->setText(u"Ann"_s);
            press();
            page->GetEmailEdit()->setText(QString());
            press();
            page->GetFileSizeEdit()->setText(u"12"_s);
            press();
            page->GetTitleEdit()->setText(QString(30, u't'));
            press();
            page->GetDownloadsEdit()->setText(u"3"_s);
            page->GetRequiresFormBox()->setChecked(true);
            press(); // an empty address, now that the form requires one
            page->GetEmailEdit()->setText(u"ann example.org"_s);
            press();
            page->GetEmailEdit()->setText(u"ann.example.org"_s);
            press();
            // Leaving for another page runs the same checks.
            QVERIFY(!sheet.SetActivePage(1));
            messages += TakeDescribed();
            page->GetRequiresFormBox()->setChecked(false);
            press(); // without the form the address is not looked at
        });
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(messages, (QStringList{
                               u"warning | OK | Enter no more than 254 characters."_s,
                               u"warning | OK | Enter no more than 254 characters."_s,
                               u"warning | OK | Please enter a number."_s,
                               u"warning | OK | Enter no more than 30 characters."_s,
                               u"warning | OK | Please enter a number."_s,
                               u"error | OK | Invalid e-mail address."_s,
                               u"error | OK | Illegal characters in e-mail address."_s,
                               u"error | OK | Invalid e-mail address."_s,
                               u"error | OK | Invalid e-mail address."_s,
                           }));
        // Each refusal puts the focus on the field at fault.
        QCOMPARE(focused.mid(0, 6), (QStringList{u"Author's Name:"_s, u"Email Address:"_s, u"File Size:"_s,
                                                 u"File Title:"_s, u"Downloads:"_s, u"Email Address:"_s}));
        const auto stored = Stored(id);
        QCOMPARE(stored->upld_email, u"ann.example.org"_s);
        QCOMPARE(stored->title, QString(30, u't'));
    }

    // Dates left alone go back to the row exactly as they were read, however often the sheet is
    // accepted and in whatever zone; a day chosen is stored as its noon in UTC, its year held to
    // what the site stores. The list shows the day the field showed.
    void datesKeepTheirTimeUnlessChanged()
    {
        using ZoneSupport::Utc;
        const double id = AddLibraryFile(u"Dated"_s, {kText}, {u"http://a.example/dated.zip"_s});
        const qint64 skipped = Utc(2024, 3, 31, 1, 30, 7); // in the hour Berlin's clocks skip
        QVERIFY(m_site->Run(u"UPDATE files SET file_date = ?, last_download = 0 WHERE file_id = ?"_s,
                            {skipped, id}));
        const auto shownDate = [](CDateEdit* edit) {
            int year = 0, month = 0, day = 0;
            edit->GetDate(&year, &month, &day);
            return QDate(year, month, day);
        };
        for (int ok = 1; ok <= 2; ++ok) {
            SelectFile(u"Dated"_s);
            RunSheet([&](CFilePropertySheet& sheet) {
                CFileGeneralPage* general = sheet.GetGeneralPage();
                QCOMPARE(shownDate(general->GetFileDateEdit()), QDate(2024, 3, 31));
                QCOMPARE(shownDate(general->GetLastDownloadEdit()), QDate(1970, 1, 1));
                general->GetVersionEdit()->setText(u"%1.0"_s.arg(ok)); // so that the row is written
                sheet.PressOK();
            });
            const auto stored = Stored(id);
            QCOMPARE(stored->version, u"%1.0"_s.arg(ok));
            QCOMPARE(qint64(stored->file_date), skipped);
            QCOMPARE(stored->last_download, 0u);
        }
        const CFileListModel* model = Frame().GetListModel();
        const int row = RowNamed(Frame(), u"Dated"_s);
        QCOMPARE(model->index(row, CFileListModel::kFileDate).data().toString(), u"March 31, 2024"_s);

        // Days on either side of the change, and years the site cannot store.
        const std::tuple<QDate, QDate, quint32, quint32> chosen[] = {
            {QDate(2024, 3, 30), QDate(2024, 4, 1), quint32(Utc(2024, 3, 30, 12)), quint32(Utc(2024, 4, 1, 12))},
            {QDate(2024, 11, 3), QDate(2024, 10, 27), quint32(Utc(2024, 11, 3, 12)), quint32(Utc(2024, 10, 27, 12))},
            {QDate(1965, 3, 5), QDate(2050, 7, 1), quint32(Utc(1970, 3, 5, 12)), quint32(Utc(2037, 7, 1, 12))},
        };
        for (const auto& [fileDay, lastDownloadDay, storedDate, storedDownload] : chosen) {
            // Named again: a lambda cannot capture a structured binding in every compiler we build with.
            const QDate fileDate = fileDay, lastDownload = lastDownloadDay;
            SelectFile(u"Dated"_s);
            RunSheet([&](CFilePropertySheet& sheet) {
                CFileGeneralPage* general = sheet.GetGeneralPage();
                general->GetFileDateEdit()->SetDate(fileDate.year(), fileDate.month(), fileDate.day());
                general->GetLastDownloadEdit()->SetDate(lastDownload.year(), lastDownload.month(),
                                                        lastDownload.day());
                sheet.PressOK();
            });
            const auto stored = Stored(id);
            QCOMPARE(stored->file_date, storedDate);
            QCOMPARE(stored->last_download, storedDownload);
        }
        QCOMPARE(model->index(RowNamed(Frame(), u"Dated"_s), CFileListModel::kFileDate).data().toString(),
                 u"March 05, 1970"_s);
    }

    // Numbers are taken as the site stores them and the fields show them, and nothing else.
    void numberFields_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<double>("value");
        QTest::newRow("whole") << u"12"_s << true << 12.0;
        QTest::newRow("fraction") << u"1.5"_s << true << 1.5;
        QTest::newRow("negative") << u"-3"_s << true << -3.0;
        QTest::newRow("exponent, as shown for large values") << u"1e+15"_s << true << 1e15;
        QTest::newRow("empty") << QString() << false << 0.0;
        QTest::newRow("leading blank") << u" 12"_s << false << 0.0;
        QTest::newRow("trailing letters") << u"12abc"_s << false << 0.0;
        QTest::newRow("hexadecimal") << u"0x10"_s << false << 0.0;
        QTest::newRow("infinity") << u"inf"_s << false << 0.0;
        QTest::newRow("not a number") << u"nan"_s << false << 0.0;
        QTest::newRow("too large for a double") << u"1e999"_s << false << 0.0;
        QTest::newRow("grouped") << u"1,234"_s << false << 0.0;
        QTest::newRow("exponent without digits") << u"1e"_s << false << 0.0;
    }

    void numberFields()
    {
        QFETCH(QString, text);
        QFETCH(bool, taken);
        QFETCH(double, value);
        const auto parsed = ParseNumberField(text);
        QCOMPARE(parsed.has_value(), taken);
        if (taken)
            QCOMPARE(*parsed, value);
        // Both number fields of the General page refuse what is refused here.
        GeneralFields fields{u"T"_s, u"1"_s, text, u"0"_s, QString(), QString()};
        QCOMPARE(FindGeneralFault(fields) == GeneralFault::SizeNotNumber, !taken);
        fields = {u"T"_s, u"1"_s, u"0"_s, text, QString(), QString()};
        QCOMPARE(FindGeneralFault(fields) == GeneralFault::DownloadsNotNumber, !taken);
        // What a field shows of a stored number reads back as that number.
        QCOMPARE(ParseNumberField(FormatNumberField(value)), std::optional<double>(value));
    }

    void descriptionImportAppendsTheFile()
    {
        WriteFile(Path(u"dos.txt"_s), "Line one\r\nLine two");
        WriteFile(Path(u"binary.bin"_s), QByteArray("head\0tail", 9));
        WriteFile(Path(u"readonly.txt"_s), "protected");
        QVERIFY(QFile::setPermissions(Path(u"readonly.txt"_s), QFile::ReadOwner | QFile::ReadGroup));
        const double id = AddAndSelect(u"Described"_s, u"http://a.example/described.zip"_s);
        QStringList texts;
        RunSheet([&](CFilePropertySheet& sheet) {
            QVERIFY(sheet.SetActivePage(1));
            CFileDescriptionPage* page = sheet.GetDescriptionPage();
            auto import = [&](const QStringList& answers) {
                for (const QString& answer : answers)
                    CFileChooser::QueueAnswer(answer);
                page->OnBrowse();
                texts.append(page->GetDetailedText());
            };
            import({Path(u"dos.txt"_s)});
            import({Path(u"binary.bin"_s)});
            import({Path(u"no-such.txt"_s)});
            // A read-only file is refused and the chooser asked again; then cancelled.
            import({Path(u"readonly.txt"_s), QString()});
            QCOMPARE(
                TakeDescribed(),
                QStringList{u"Open: warning | OK | "_s + Path(u"readonly.txt"_s) +
                            u"\nThis file is set to read-only.\nTry again with a different file name."_s});
            const auto requests = CFileChooser::TakeRequests();
            QCOMPARE(requests.size(), 5);
            QVERIFY(requests[0].filter.startsWith(u"Text Files (*.txt)"_s));
            sheet.PressOK();
        });
        QCOMPARE(texts,
                 (QStringList{u"Long text.Line one\nLine two"_s, u"Long text.Line one\nLine twohead"_s,
                              u"Long text.Line one\nLine twohead"_s, u"Long text.Line one\nLine twohead"_s}));
        QCOMPARE(Stored(id)->long_desc, u"Long text.Line one\nLine twohead"_s);
    }

    void hugeImportIsCutAndThenRefused()
    {
        QCOMPARE(ReadDescriptionImport(Path(u"missing.txt"_s)), QString());
        // Four-byte characters after one of one byte: the read ends inside a character, which is
        // left out rather than cut, and the count is of characters.
        WriteFile(Path(u"wide.txt"_s),
                  u"a"_s.append(QString(70000, u'x').replace(u"x"_s, u"\U0001F600"_s)).toUtf8());
        const QString wide = ReadDescriptionImport(Path(u"wide.txt"_s));
        QCOMPARE(wide.size(), 1 + 2 * 65534);
        QVERIFY(wide.endsWith(u"\U0001F600"_s));
        QVERIFY(!wide.contains(QChar::ReplacementCharacter));

        WriteFile(Path(u"huge.txt"_s), QByteArray(200000, 'x'));
        const double id = AddAndSelect(u"Huge"_s, u"http://a.example/huge.zip"_s);
        const int result = RunSheet([&](CFilePropertySheet& sheet) {
            QVERIFY(sheet.SetActivePage(1));
            CFileDescriptionPage* page = sheet.GetDescriptionPage();
            CFileChooser::QueueAnswer(Path(u"huge.txt"_s));
            page->OnBrowse();
            QCOMPARE(page->GetDetailedText().size(), 10 + 65535);
            sheet.PressOK();
            QCOMPARE(TakeDescribed(), QStringList{u"warning | OK | Enter no more than 65535 characters."_s});
            QCOMPARE(sheet.focusWidget(), page->GetDetailedEdit());
            sheet.PressCancel();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(Stored(id)->long_desc, u"Long text."_s);
    }

    // An area in two groups is marked twice; a click writes the links at once; OK refreshes the
    // list when the shown area lost the file.
    void areaLinksAreWrittenAtOnce()
    {
        const double id = AddAndSelect(u"Twice"_s, u"http://a.example/twice.zip"_s);
        RunSheet([&](CFilePropertySheet& sheet) {
            QVERIFY(sheet.SetActivePage(2));
            QTreeWidget* tree = sheet.GetAreasPage()->GetTree();
            auto click = [&](QTreeWidgetItem* item) {
                tree->setCurrentItem(item);
                sheet.GetAreasPage()->OnClickTree();
            };
            // The explorer's groups in its order, without the search results.
            QStringList groups, expected;
            for (int i = 0; i < tree->topLevelItemCount(); ++i)
                groups.append(tree->topLevelItem(i)->text(0));
            const CTreeItem* root = Frame().GetTreeModel()->GetRoot();
            for (qsizetype i = 0; i < root->GetChildCount(); ++i) {
                if (root->GetChild(i)->GetType() == kNodeGroup)
                    expected.append(root->GetChild(i)->GetName());
            }
            QCOMPARE(expected.size(), 4);
            QCOMPARE(groups, expected);
            const auto text = AreaItems(tree, kText);
            QCOMPARE(Marks(text), QList<Qt::CheckState>{Qt::Checked});
            QVERIFY(text[0]->parent()->isExpanded()); // scrolled into view
            QVERIFY(!tree->topLevelItem(0)->isExpanded());
            const auto programming = AreaItems(tree, kProgramming);
            QCOMPARE(programming.size(), 2);
            QCOMPARE(Marks(programming), (QList<Qt::CheckState>{Qt::Unchecked, Qt::Unchecked}));

            // Space on the selected item, as a click would.
            tree->setFocus();
            tree->setCurrentItem(programming[1]);
            QTest::keyClick(tree, Qt::Key_Space);
            QCOMPARE(Marks(programming), (QList<Qt::CheckState>{Qt::Checked, Qt::Checked}));
            QCOMPARE(AreasOf(id), (QList<double>{kProgramming, kText}));
            QCOMPARE(sheet.GetAreasPage()->GetAreaIds(), (QList<double>{kText, kProgramming}));
            click(programming[0]);
            QCOMPARE(Marks(programming), (QList<Qt::CheckState>{Qt::Unchecked, Qt::Unchecked}));
            QCOMPARE(AreasOf(id), QList<double>{kText});
            click(programming[0]->parent()); // a group is not an area: nothing happens
            QCOMPARE(AreasOf(id), QList<double>{kText});
            click(programming[0]);
            click(text[0]);
            sheet.PressOK();
        });
        QCOMPARE(AreasOf(id), QList<double>{kProgramming});
        QVERIFY(RowNamed(Frame(), u"Twice"_s) >= 0); // the refresh is posted, not run within the command
        WaitForList(Frame());
        QCOMPARE(RowNamed(Frame(), u"Twice"_s), -1);
        QCOMPARE(Frame().GetListModel()->rowCount(), theDatabaseManager.GetNumberOfFilesInArea(kText));
    }

    // A click with the mouse on an area links or unlinks the file once, and so does a double-click:
    // its second click must not undo the first.
    void mouseOnAnArea_data()
    {
        QTest::addColumn<int>("clicks"); // 1: a click, 2: a double-click, 3: two clicks apart
        QTest::addColumn<bool>("linked");
        QTest::newRow("a click") << 1 << true;
        QTest::newRow("a double-click") << 2 << true;
        QTest::newRow("two clicks") << 3 << false;
    }

    void mouseOnAnArea()
    {
        QFETCH(int, clicks);
        QFETCH(bool, linked);
        const QString title = u"Clicked %1"_s.arg(clicks);
        const double id = AddAndSelect(title, u"http://a.example/clicked.zip"_s);
        QList<Qt::CheckState> marks;
        RunSheet([&](CFilePropertySheet& sheet) {
            QVERIFY(sheet.SetActivePage(2));
            QTreeWidget* tree = sheet.GetAreasPage()->GetTree();
            const auto programming = AreaItems(tree, kProgramming);
            QCOMPARE(programming.size(), 2);
            tree->scrollToItem(programming[0]);
            // Through the window, as the window system delivers them: a double-click arrives as a
            // click and then a second press, taken for a double-click, and its release.
            QWindow* window = sheet.windowHandle();
            const QPoint centre =
                tree->viewport()->mapTo(&sheet, tree->visualItemRect(programming[0]).center());
            if (clicks == 2) {
                QTest::mouseDClick(window, Qt::LeftButton, {}, centre);
            } else {
                for (int i = 0; i < (clicks == 3 ? 2 : 1); ++i)
                    QTest::mouseClick(window, Qt::LeftButton, {}, centre);
            }
            marks = Marks(programming);
            sheet.PressCancel();
        });
        const Qt::CheckState mark = linked ? Qt::Checked : Qt::Unchecked;
        QCOMPARE(marks, (QList<Qt::CheckState>{mark, mark}));
        QCOMPARE(AreasOf(id), linked ? (QList<double>{kProgramming, kText}) : QList<double>{kText});
    }

    void fileInNoAreaCannotLeaveThePageButCancelCloses()
    {
        const double id = AddAndSelect(u"Lonely"_s, u"http://a.example/lonely.zip"_s);
        const int rows = Frame().GetListModel()->rowCount();
        const int result = RunSheet([&](CFilePropertySheet& sheet) {
            QVERIFY(sheet.SetActivePage(2));
            QTreeWidget* tree = sheet.GetAreasPage()->GetTree();
            tree->setCurrentItem(AreaItems(tree, kText).value(0));
            sheet.GetAreasPage()->OnClickTree();
            QCOMPARE(AreasOf(id), QList<double>()); // at once, not on OK
            sheet.PressOK();
            QVERIFY(!sheet.SetActivePage(0));
            QCOMPARE(sheet.GetActiveIndex(), 2);
            QCOMPARE(TakeDescribed(),
                     QStringList(2, u"none | OK | You must select the file into at least one file area."_s));
            QVERIFY(sheet.isVisible());
            sheet.PressCancel();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(AreasOf(id), QList<double>());
        WaitForList(Frame());
        QCOMPARE(Frame().GetListModel()->rowCount(), rows); // no refresh after Cancel
    }

    void urlsAreWrittenAtOnce()
    {
        const double id = AddAndSelect(u"Located"_s, u"http://b.example/one.zip"_s);
        const int result = RunSheet([&](CFilePropertySheet& sheet) {
            QVERIFY(sheet.SetActivePage(3));
            CFileUrlsPage* page = sheet.GetUrlsPage();
            QListWidget* list = page->GetList();
            QPushButton* cancel = sheet.GetButton(CPropertySheet::kCancelButton);
            QCOMPARE(cancel->text(), u"Cancel"_s);

            AnswerUrlDialog(u"http://a.example/two.zip"_s);
            page->GetAddButton()->click();
            QCOMPARE(Items(list),
                     (QStringList{u"http://a.example/two.zip"_s, u"http://b.example/one.zip"_s}));
            QCOMPARE(LocationsOf(id), Items(list));
            QCOMPARE(cancel->text(), u"Close"_s);

            // Edit without a selection does nothing; with one, replaces the entry.
            list->clearSelection();
            page->OnEdit();
            list->item(1)->setSelected(true);
            AnswerUrlDialog(u"http://c.example/three.zip"_s);
            page->GetEditButton()->click();
            QCOMPARE(LocationsOf(id),
                     (QStringList{u"http://a.example/two.zip"_s, u"http://c.example/three.zip"_s}));
            QCOMPARE(Items(list), LocationsOf(id));
            // An edit that leaves the address as it was changes nothing.
            list->item(0)->setSelected(true);
            AnswerUrlDialog(u"http://a.example/two.zip"_s);
            page->OnEdit();
            QCOMPARE(Items(list), LocationsOf(id));

            list->item(0)->setSelected(true);
            CMessageBox::QueueAnswer(QMessageBox::No);
            page->GetRemoveButton()->click();
            QCOMPARE(LocationsOf(id).size(), 2);
            CMessageBox::QueueAnswer(QMessageBox::Yes);
            page->GetRemoveButton()->click();
            list->item(0)->setSelected(true);
            CMessageBox::QueueAnswer(QMessageBox::Yes);
            page->GetRemoveButton()->click();
            QCOMPARE(LocationsOf(id), QStringList());
            QCOMPARE(list->count(), 0);
            QCOMPARE(TakeDescribed(),
                     QStringList(
                         3, u"Question: question | Yes No | Are you sure you want to delete this item?"_s));

            sheet.PressOK();
            QVERIFY(!sheet.SetActivePage(0));
            QCOMPARE(TakeDescribed(),
                     QStringList(2, u"none | OK | Please add at least one URL for this file."_s));
            cancel->click();
        });
        QCOMPARE(result, int(QDialog::Rejected));
        QCOMPARE(LocationsOf(id), QStringList());
    }

    // A site can store megabytes in a location or a title: the pages show them shortened at once,
    // and nothing is written back unless the user edits it.
    void longLocationIsShownShortened()
    {
        // Longer than the list shows, yet short enough for an index of every engine: the dialog's
        // own test has the megabytes.
        const QString bigUrl = u"http://b.example/"_s + QString(2000, u'a') + u"/big.zip"_s;
        const double located = AddLibraryFile(u"Huge Location"_s, {kText}, {bigUrl, u"http://b.example/small.zip"_s});
        SelectFile(u"Huge Location"_s);
        RunSheet([&](CFilePropertySheet& sheet) {
            QVERIFY(sheet.SetActivePage(3));
            CFileUrlsPage* page = sheet.GetUrlsPage();
            QListWidget* list = page->GetList();
            QCOMPARE(list->count(), 2);
            QCOMPARE(list->item(0)->text().size(), CLocationListPage::kMaxShownLocation);
            QCOMPARE(CLocationListPage::LocationOf(list->item(0)), bigUrl);

            // Edited without a change: the dialog had the whole location, and it stays stored.
            QString given;
            CModalRun::QueueHandler([&](QDialog& dialog) {
                auto& d = static_cast<CDownloadUrlDialog&>(dialog);
                given = d.GetSiteUrl();
                d.accept();
                return d.result();
            });
            list->item(0)->setSelected(true);
            page->OnEdit();
            QVERIFY(given == bigUrl);
            QVERIFY(LocationsOf(located).contains(bigUrl));

            // Removed: the whole location goes from the database.
            list->item(0)->setSelected(true);
            CMessageBox::QueueAnswer(QMessageBox::Yes);
            page->GetRemoveButton()->click();
            QCOMPARE(LocationsOf(located), QStringList{u"http://b.example/small.zip"_s});
            TakeDescribed();
            sheet.PressCancel();
        });
    }

    void titleOfMegabytesIsShownShortened()
    {
        const QString bigTitle = u"Huge "_s + QString(10 * 1024 * 1024, u't');
        const double titled = AddAndSelect(u"Huge Title"_s, u"http://b.example/t.zip"_s);
        QVERIFY(m_site->Run(u"UPDATE files SET title = ? WHERE file_id = ?"_s, {bigTitle, titled}));
        RunSheet([&](CFilePropertySheet& sheet) {
            QCOMPARE(sheet.GetGeneralPage()->GetTitleEdit()->text().size(), qsizetype(1024));
            // Still too long: it cannot be stored shortened without the user editing it.
            sheet.PressOK();
            QCOMPARE(TakeDescribed(), QStringList{u"warning | OK | Enter no more than 30 characters."_s});
            sheet.PressCancel();
        });
        QCOMPARE(Stored(titled)->title, bigTitle);
    }

    // A file the site numbered beyond 32 bits shows the reviews of its own review file.
    void reviewsOfAnIdBeyond32Bits()
    {
        const qint64 id = (qint64(1) << 31) + 5;
        QVERIFY(m_site->Run(u"INSERT INTO files (file_id, title) VALUES (?, 'Far Id')"_s, {id}));
        QVERIFY(m_site->Run(u"INSERT INTO file_area (area_id, file_id) VALUES (?, ?)"_s, {kText, id}));
        SelectFile(u"Far Id"_s);
        RunSheet([](CFilePropertySheet& sheet) {
            QCOMPARE(sheet.GetReviewsPage()->GetPath(), g_szHttpPath + u"reviews/2147483653.txt"_s);
            sheet.PressCancel();
        });
    }
};

QTEST_MAIN(TestFileProperties)
#include "tst_fileproperties.moc"

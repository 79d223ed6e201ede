// The Download URL dialog, its copy into the host area's directory, and the address and e-mail
// checks that other dialogs share.

#include "adding/addfile/CAddFileFirstPage.h"
#include "adding/addfiles/CAddFilesInfoPage.h"
#include "adding/download/CDownloadUrlDialog.h"
#include "adding/download/EmailField.h"
#include "adding/download/FieldChecks.h"
#include "controls/CFileChooser.h"
#include "controls/CHelpViewer.h"
#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "files/SafeCopy.h"
#include "settings/Globals.h"
#include "TestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace TestSupport;

namespace {

const QString kBadUrl = u"Please enter a valid ftp or http URL"_s;
const QString kBadFile = u"Please select a valid file to add"_s;
const QString kNoArea = u"Please select a file area to host this file"_s;
const QString kSpaces =
    u"FTP cannot send file names with embedded spaces. Click Yes to use the DOS filename, "
    "or click No to ignore."_s;
const QString kCopy =
    u"The selected file needs to be copied to the host directory. Do you want to copy this file?"_s;
const QString kCopyFailed = u"Could not copy the requested file to the host path"_s;

QString ReplaceQuestion(const QString& name, const QString& directory)
{
    return name + u" already exists in "_s + directory + u". Replace it?"_s;
}

// What one press of OK led to.
struct OkOutcome
{
    bool closed = false;
    QStringList texts;
    QList<CMessageBox::Request> boxes;
    QWidget* focus = nullptr;
};

OkOutcome PressOk(CDownloadUrlDialog& dialog)
{
    dialog.GetOkButton()->click();
    OkOutcome outcome;
    outcome.closed = !dialog.isVisible();
    outcome.boxes = CMessageBox::TakeRequests();
    for (const CMessageBox::Request& box : outcome.boxes)
        outcome.texts.append(box.text);
    outcome.focus = dialog.focusWidget();
    return outcome;
}

// Runs the dialog modally; the step fills its fields, then OK is pressed once per queued batch of
// answers (the last press ends the run when the dialog still stays).
QList<OkOutcome> Run(CDownloadUrlDialog& dialog, const std::function<void(CDownloadUrlDialog&)>& fill,
                     const QList<QList<CMessageBox::Button>>& answersPerPress = {{}})
{
    QList<OkOutcome> outcomes;
    CModalRun::QueueHandler([&](QDialog& shown) {
        auto& d = static_cast<CDownloadUrlDialog&>(shown);
        if (fill)
            fill(d);
        for (const QList<CMessageBox::Button>& answers : answersPerPress) {
            for (CMessageBox::Button answer : answers)
                CMessageBox::QueueAnswer(answer);
            outcomes.append(PressOk(d));
            if (outcomes.last().closed)
                break;
        }
        return d.result();
    });
    CModalRun::Exec(dialog);
    return outcomes;
}

std::function<void(CDownloadUrlDialog&)> ChooseArea(const QString& name)
{
    return [name](CDownloadUrlDialog& d) {
        d.GetHostAreaList()->setCurrentIndex(d.GetHostAreaList()->findText(name));
    };
}

} // namespace

class TestDownloadUrl : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    QString Host() const { return Path(u"host"_s); }
    QString Tools() const { return Path(u"tools"_s); }

    // Areas: 5 downloads only; 3 and 7 host local files; 9 hosts them in a directory that is missing.
    void OpenTable(bool withHosts = true)
    {
        theFileAreaTable.Close();
        const quint32 hosts = withHosts ? kAreaHostsLocalFiles : 0u;
        QByteArray table =
            HeaderRecord() +
            AreaRecord(5, "Downloads only", QFile::encodeName(Path(u"plain"_s)), kAreaAllowDownloads) +
            AreaRecord(3, "Zeta games", QFile::encodeName(Host()), hosts) +
            AreaRecord(7, "alpha tools", QFile::encodeName(Tools() + u'/'), hosts) +
            AreaRecord(9, "Beta", QFile::encodeName(Path(u"missing"_s)), hosts);
        WriteFile(Path(u"Filearea.dat"_s), table);
        QVERIFY(theFileAreaTable.Open(Path(u"Filearea.dat"_s)));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QDir root(m_dir.path());
        QVERIFY(root.mkpath(u"host/sub"_s) && root.mkpath(u"tools"_s) && root.mkpath(u"src dir"_s) &&
                root.mkpath(u"plain"_s));
        WriteFile(Path(u"host/pkg.zip"_s), "in the host");
        WriteFile(Path(u"host/sub/deep.zip"_s), "deeper");
        WriteFile(Path(u"src dir/x.zip"_s), "source bytes");
        WriteFile(Path(u"src dir/my file.zip"_s), "spaced");
        QVERIFY(QFile::link(Tools(), Path(u"tools-link"_s)));
        OpenTable();
        CMessageBox::SetAnsweringMode(true);
        CFileChooser::SetAnsweringMode(true);
    }

    void cleanupTestCase() { theFileAreaTable.Close(); }

    void cleanup()
    {
        CModalRun::ClearHandlers();
        CMessageBox::TakeRequests();
        CFileChooser::TakeRequests();
        CHelpViewer::TakeShown();
    }

    void downloadAddresses_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("valid");
        QTest::newRow("https with host") << "https://example.org/files/pkg.zip" << true;
        QTest::newRow("ftp in capitals") << "FTP://ftp.example.org/pub/pkg.zip" << true;
        QTest::newRow("user and port") << "ftp://anon:pw@example.org:2121/pkg.zip" << true;
        QTest::newRow("no scheme") << "www.example.org/pkg.zip" << false;
        QTest::newRow("mail address") << "mailto:admin@example.org" << false;
        QTest::newRow("no host") << "http://" << false;
        QTest::newRow("host missing, path only") << "ftp:/pub/pkg.zip" << false;
        QTest::newRow("leading space kept") << " http://example.org/pkg.zip" << false;
        QTest::newRow("space inside") << "http://example.org/my pkg.zip" << false;
        QTest::newRow("empty") << "" << false;
    }
    void downloadAddresses()
    {
        QFETCH(QString, url);
        QFETCH(bool, valid);
        QCOMPARE(IsValidDownloadURL(url), valid);

        // Through the dialog: refused with its message and the dialog stays; accepted as typed.
        CDownloadUrlDialog dialog;
        const auto outcomes = Run(dialog, [&](CDownloadUrlDialog& d) { d.GetSiteUrlEdit()->setText(url); });
        QCOMPARE(outcomes.size(), 1);
        QCOMPARE(outcomes[0].closed, valid);
        if (valid) {
            QVERIFY(outcomes[0].boxes.isEmpty());
            QCOMPARE(dialog.GetLocation(), url);
        } else {
            QCOMPARE(outcomes[0].texts, QStringList{kBadUrl});
        }
    }

    void emailAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("message");
        const QString illegal = u"Illegal characters in e-mail address."_s;
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("plain") << u"ann@example.org"_s << QString();
        QTest::newRow("no at sign") << u"ann.example.org"_s << u"Invalid e-mail address."_s;
        QTest::newRow("illegal before the at test") << u"ann;"_s << illegal;
        for (const QChar c : u"!() /<>,;:\\[]"_s)
            QTest::addRow("illegal '%c'", c.toLatin1()) << (u"ann"_s + c + u"@x.org"_s) << illegal;
    }
    void emailAddresses()
    {
        QFETCH(QString, address);
        QFETCH(QString, message);
        QCOMPARE(CheckEmailAddress(address), message.isEmpty());
        const auto boxes = CMessageBox::TakeRequests();
        QCOMPARE(boxes.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QCOMPARE(boxes[0].text, message);
    }

    void emailFieldExchange()
    {
        QDialog dialog;
        auto* other = new QLineEdit(&dialog);
        auto* field = new QLineEdit(&dialog);
        dialog.show();
        other->setFocus();

        QString address = u"kept@example.org"_s;
        field->setText(u"no at sign"_s);
        QVERIFY(!ExchangeEmailField(field, address, true));
        QCOMPARE(address, u"kept@example.org"_s);
        QCOMPARE(dialog.focusWidget(), field);
        QCOMPARE(CMessageBox::TakeRequests().size(), 1);

        // Only 253 characters are taken; the check runs on what is taken.
        field->setText(u"a@"_s + QString(300, u'b'));
        QVERIFY(ExchangeEmailField(field, address, true));
        QCOMPARE(address, u"a@"_s + QString(251, u'b'));
        field->setText(QString(253, u'c') + u"@x"_s); // the at sign lies beyond what is taken
        QVERIFY(!ExchangeEmailField(field, address, true));

        address = u"shown@example.org"_s;
        QVERIFY(ExchangeEmailField(field, address, false));
        QCOMPARE(field->text(), address);
    }

    void storedLocationsOpen_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("fileName"); // relative to the test directory
        QTest::addColumn<QString>("area");     // the entry chosen; none opens on a remote file
        QTest::addColumn<QString>("afterOk");  // empty: OK stays
        const QString none;
        QTest::newRow("remote") << u"http://x.org/a.zip"_s << none << none << u"http://x.org/a.zip"_s;
        QTest::newRow("capital prefix")
            << u"LOCAL://3/pkg.zip"_s << u"host/pkg.zip"_s << u"Zeta games"_s << u"local://3/pkg.zip"_s;
        QTest::newRow("area without local files")
            << u"local://5/pkg.zip"_s << u"plain/pkg.zip"_s << none << none;
        QTest::newRow("area not in the table") << u"local://42/pkg.zip"_s << none << none << none;
        QTest::newRow("no slash after the id") << u"local://3pkg.zip"_s << none << none << none;
    }
    void storedLocationsOpen()
    {
        QFETCH(QString, location);
        QFETCH(QString, fileName);
        QFETCH(QString, area);
        QFETCH(QString, afterOk);

        CDownloadUrlDialog dialog;
        dialog.SetLocation(location);
        bool localChecked = false, urlEnabled = false, fileEnabled = false;
        QString shownUrl, shownFile, shownArea;
        QWidget* focus = nullptr;
        const auto outcomes = Run(dialog, [&](CDownloadUrlDialog& d) {
            localChecked = d.GetLocalButton()->isChecked();
            urlEnabled = d.GetSiteUrlEdit()->isEnabled();
            fileEnabled = d.GetFileNameEdit()->isEnabled() && d.GetBrowseButton()->isEnabled() &&
                          d.GetHostAreaList()->isEnabled();
            shownUrl = d.GetSiteUrlEdit()->text();
            shownFile = d.GetFileNameEdit()->text();
            shownArea = d.GetHostAreaList()->currentText();
            focus = d.focusWidget();
        });
        QCOMPARE(localChecked, !area.isEmpty());
        QCOMPARE(urlEnabled, !localChecked);
        QCOMPARE(fileEnabled, localChecked);
        QCOMPARE(focus, localChecked ? dialog.GetFileNameEdit() : dialog.GetSiteUrlEdit());
        // A stored local location never shows in the address field.
        QCOMPARE(shownUrl, location.startsWith(u"http"_s) ? location : QString());
        QCOMPARE(shownFile, fileName.isEmpty() ? QString() : Path(fileName));
        QCOMPARE(shownArea, area);
        QCOMPARE(outcomes[0].closed, !afterOk.isEmpty());
        if (outcomes[0].closed) {
            QVERIFY(outcomes[0].boxes.isEmpty()); // a file already in its host directory is not copied
            QCOMPARE(dialog.GetLocation(), afterOk);
        }
    }

    void hostAreaList()
    {
        CDownloadUrlDialog dialog;
        QStringList names;
        QList<quint32> records;
        int current = 0;
        bool localEnabled = false, turned = false;
        Run(dialog, [&](CDownloadUrlDialog& d) {
            for (int i = 0; i < d.GetHostAreaList()->count(); ++i) {
                names.append(d.GetHostAreaList()->itemText(i));
                records.append(d.GetHostAreaList()->itemData(i).toUInt());
            }
            current = d.GetHostAreaList()->currentIndex();
            localEnabled = d.GetLocalButton()->isEnabled();
            // Choosing a local file turns the fields around.
            d.GetLocalButton()->click();
            turned = !d.GetSiteUrlEdit()->isEnabled() && d.GetFileNameEdit()->isEnabled();
        });
        QVERIFY(turned);
        QCOMPARE(names, (QStringList{u"alpha tools"_s, u"Beta"_s, u"Zeta games"_s}));
        QCOMPARE(records, (QList<quint32>{3, 4, 2}));
        QCOMPARE(current, -1);
        QVERIFY(localEnabled);

        // Without an area that hosts local files, a local file cannot be chosen.
        OpenTable(false);
        CDownloadUrlDialog none;
        Run(none, [&](CDownloadUrlDialog& d) { localEnabled = d.GetLocalButton()->isEnabled(); });
        OpenTable();
        QVERIFY(!localEnabled);
        QCOMPARE(none.GetHostAreaList()->count(), 0);
    }

    void localFileRefused_data()
    {
        QTest::addColumn<QString>("typed"); // relative to the test directory, or blank
        QTest::addColumn<QString>("area");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString zeta = u"Zeta games"_s, field = u"Filename:"_s;
        QTest::newRow("blank") << u"   "_s << zeta << kBadFile << field;
        QTest::newRow("missing file") << u"src dir/none.zip"_s << zeta << kBadFile << field;
        QTest::newRow("a directory") << u"src dir"_s << zeta << kBadFile << field;
        QTest::newRow("no host area") << u"src dir/x.zip"_s << QString() << kNoArea << u"Host Area:"_s;
    }
    void localFileRefused()
    {
        QFETCH(QString, typed);
        QFETCH(QString, area);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        const bool blank = typed.trimmed().isEmpty();
        CDownloadUrlDialog dialog;
        const auto outcomes = Run(dialog, [&](CDownloadUrlDialog& d) {
            d.GetLocalButton()->click();
            d.GetFileNameEdit()->setText(blank ? typed : u"  "_s + Path(typed) + u' ');
            ChooseArea(area)(d);
        });
        QCOMPARE(outcomes.size(), 1);
        QVERIFY(!outcomes[0].closed);
        QCOMPARE(outcomes[0].texts, QStringList{message});
        QCOMPARE(outcomes[0].focus->accessibleName(), focus);
        // The field keeps the trimmed name.
        QCOMPARE(dialog.GetFileNameEdit()->text(), blank ? QString() : Path(typed));
    }

    // OK on a local file outside its host directory asks to copy it there (and to replace a file of
    // its name); the dialog closes on the copy's location, or stays and changes nothing.
    void copyIntoTheHostDirectory_data()
    {
        QTest::addColumn<QString>("source"); // relative to the test directory, or a stored location
        QTest::addColumn<QString>("area");   // the one chosen; none for a stored location's
        QTest::addColumn<QList<QList<CMessageBox::Button>>>("answers"); // for each press of OK
        QTest::addColumn<QStringList>("texts");                         // of the last press
        QTest::addColumn<QString>("location");                          // empty: the dialog stays
        QTest::addColumn<QString>("landed"); // "file=bytes" relative to the test directory
        using B = QList<CMessageBox::Button>;
        const QString replace = ReplaceQuestion(u"x.zip"_s, Tools() + u'/');
        const QString tools = u"alpha tools"_s, old = u"tools/x.zip=old contents"_s;
        QTest::newRow("No to the copy") << u"src dir/x.zip"_s << tools << QList<B>{{QMessageBox::No}}
                                        << QStringList{kCopy} << QString() << old;
        QTest::newRow("No to replacing")
            << u"src dir/x.zip"_s << tools << QList<B>{{QMessageBox::Yes, QMessageBox::No}}
            << QStringList{kCopy, replace} << QString() << old;
        QTest::newRow("Yes to both") << u"src dir/x.zip"_s << tools
                                     << QList<B>{{QMessageBox::Yes, QMessageBox::Yes}}
                                     << QStringList{kCopy, replace} << u"local://7/x.zip"_s
                                     << u"tools/x.zip=source bytes"_s;
        QTest::newRow("the very file, through a link")
            << u"tools-link/x.zip"_s << tools << QList<B>{{QMessageBox::Yes}} << QStringList{kCopy}
            << u"local://7/x.zip"_s << old;
        QTest::newRow("from a subdirectory of the host directory")
            << u"local://3/sub\\deep.zip"_s << QString() << QList<B>{{QMessageBox::Yes}} << QStringList{kCopy}
            << u"local://3/deep.zip"_s << u"host/deep.zip=deeper"_s;
        // Cancel stays without asking more; Yes keeps the long name (there are no short ones).
        QTest::newRow("a space in the name")
            << u"src dir/my file.zip"_s << tools
            << QList<B>{{QMessageBox::Cancel}, {QMessageBox::Yes, QMessageBox::Yes}}
            << QStringList{kSpaces, kCopy} << u"local://7/my file.zip"_s << u"tools/my file.zip=spaced"_s;
        QTest::newRow("host directory missing")
            << u"src dir/x.zip"_s << u"Beta"_s << QList<B>{{QMessageBox::Yes}}
            << QStringList{kCopy, kCopyFailed + u'\n' + Path(u"missing"_s) + u": No such file or directory"_s}
            << QString() << old;
    }
    void copyIntoTheHostDirectory()
    {
        QFETCH(QString, source);
        QFETCH(QString, area);
        QFETCH(QList<QList<CMessageBox::Button>>, answers);
        QFETCH(QString, location);
        QFETCH(QString, landed);
        WriteFile(Tools() + u"/x.zip"_s, "old contents");
        const bool stored = source.startsWith(u"local:"_s);
        CDownloadUrlDialog dialog(stored ? QString() : Path(source), nullptr);
        if (stored)
            dialog.SetLocation(source);
        const auto outcomes = Run(dialog, stored ? nullptr : ChooseArea(area), answers);
        QCOMPARE(outcomes.size(), answers.size());
        QTEST(outcomes.last().texts, "texts");
        QCOMPARE(outcomes.last().closed, !location.isEmpty());
        if (!location.isEmpty()) {
            QCOMPARE(dialog.GetLocation(), location);
            QCOMPARE(dialog.GetFileName(), stored ? Path(u"host/sub/deep.zip"_s) : Path(source));
        }
        const qsizetype equals = landed.indexOf(u'=');
        QCOMPARE(ReadFile(Path(landed.left(equals))), landed.mid(equals + 1).toUtf8());
        const QString host = Path(landed.left(landed.indexOf(u'/')));
        QCOMPARE(Entries(host).filter(u"troveport"_s), QStringList()); // no temporary file left
        QFile::remove(Host() + u"/deep.zip"_s);
        for (const QString& name : Entries(Tools()))
            QVERIFY(QFile::remove(Tools() + u'/' + name));
        QVERIFY(!QFileInfo::exists(Path(u"missing"_s)));
    }

    void copyingRefusesWhatItCannotCopy_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        const int system = int(FileFault::Kind::System), notRegular = int(FileFault::Kind::NotRegular),
                  badName = int(FileFault::Kind::BadName);
        QTest::newRow("a FIFO without a writer") << u"fifo"_s << u"fifo"_s << notRegular;
        QTest::newRow("a directory") << u"src dir"_s << u"copied"_s << notRegular;
        QTest::newRow("missing") << u"none.zip"_s << u"none.zip"_s << system;
        QTest::newRow("name with a slash") << u"src dir/x.zip"_s << u"sub/x.zip"_s << badName;
        QTest::newRow("dot dot") << u"src dir/x.zip"_s << u".."_s << badName;
        QTest::newRow("no name") << u"src dir/x.zip"_s << QString() << badName;
    }
    void copyingRefusesWhatItCannotCopy()
    {
        QFETCH(QString, source);
        QFETCH(QString, name);
        QFETCH(int, kind);
        const QString fifo = Path(u"fifo"_s);
        if (!QFileInfo(fifo).exists())
            QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QStringList before = Entries(Host());
        const FileFault fault = CopyIntoDirectory(OpenAdministratorsFile(Path(source)),
                                                  CSafeDirectory::Open(Host()), CSafeDirectory::NameBytes(name));
        QCOMPARE(int(fault.kind), kind);
        QVERIFY(!fault.Message().isEmpty());
        QCOMPARE(Entries(Host()), before);
    }

    // A site can store an address of megabytes: the field shows it shortened, so that the dialog
    // opens and OK answers at once, and unless it is edited the stored address is kept whole.
    void addressOfMegabytes_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed"); // null: left as shown
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("taken");
        const QString valid = u"http://example.org/"_s + QString(10 * 1024 * 1024, u'a') + u"/pkg.zip"_s;
        const QString invalid = u"http://example.org/"_s + QString(10 * 1024 * 1024, u'a') + u" x"_s;
        QTest::newRow("valid, kept whole") << valid << QString() << true << valid;
        QTest::newRow("invalid, refused") << invalid << QString() << false << invalid;
        QTest::newRow("edited") << invalid << u"http://example.org/b.zip"_s << true << u"http://example.org/b.zip"_s;
    }
    void addressOfMegabytes()
    {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, closed);
        CDownloadUrlDialog dialog;
        dialog.SetLocation(stored);
        QString shown;
        const auto outcomes = Run(dialog, [&](CDownloadUrlDialog& d) {
            shown = d.GetSiteUrlEdit()->text();
            if (!typed.isNull())
                d.GetSiteUrlEdit()->setText(typed);
        });
        QCOMPARE(shown.size(), CDownloadUrlDialog::kMaxShownSiteUrl);
        QVERIFY(shown.startsWith(u"http://example.org/aaa"_s) && shown.contains(QChar(0x2026)));
        QCOMPARE(outcomes[0].closed, closed);
        QCOMPARE(outcomes[0].texts, closed ? QStringList() : QStringList{kBadUrl});
        QTEST(dialog.GetSiteUrl(), "taken");
    }

    void browseAndHelp()
    {
        CDownloadUrlDialog dialog(Path(u"src dir/x.zip"_s), nullptr);
        CFileChooser::QueueAnswer(Path(u"host/pkg.zip"_s));
        CFileChooser::QueueAnswer(QString()); // cancelled
        QStringList shown;
        Run(dialog,
            [&](CDownloadUrlDialog& d) {
                d.GetBrowseButton()->click();
                shown.append(d.GetFileNameEdit()->text());
                d.GetBrowseButton()->click();
                shown.append(d.GetFileNameEdit()->text());
                d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Help)->click();
                d.reject();
            },
            {});
        QCOMPARE(shown, QStringList(2, Path(u"host/pkg.zip"_s)));
        const auto requests = CFileChooser::TakeRequests();
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[0].kind, CFileChooser::Kind::OpenFile);
        QCOMPARE(requests[0].startPath, Path(u"src dir/x.zip"_s));
        QCOMPARE(requests[1].startPath, Path(u"host/pkg.zip"_s));
        const auto help = CHelpViewer::TakeShown();
        QCOMPARE(help.size(), 1);
        QCOMPARE(help[0].kind, CHelpViewer::Shown::Topic);
        if (CHelpViewer* viewer = CHelpViewer::GetInstance())
            viewer->close();
    }

    // A path or address too long for its field is refused whole, with a message, and the field
    // keeps what it had: a cut one would name another file or directory. Typing stops at the
    // limit as it always did.
    void pathsTooLongForTheirFields_data()
    {
        QTest::addColumn<int>("field"); // the Add Files directory, the Add File name, the site URL
        QTest::addColumn<int>("how");   // chosen in a chooser, pasted, typed
        QTest::addColumn<int>("limit");
        QTest::newRow("Add Files directory, chosen") << 0 << 0 << 254;
        QTest::newRow("Add Files directory, pasted") << 0 << 1 << 254;
        QTest::newRow("Add File name, chosen") << 1 << 0 << 254;
        QTest::newRow("Add File name, pasted") << 1 << 1 << 254;
        QTest::newRow("site URL, pasted") << 2 << 1 << 254;
        QTest::newRow("site URL, typed") << 2 << 2 << 254;
    }
    void pathsTooLongForTheirFields()
    {
        QFETCH(int, field);
        QFETCH(int, how);
        QFETCH(int, limit);
        CAddFilesInfoPage directoryPage;
        CAddFileFirstPage namePage;
        CDownloadUrlDialog dialog;
        QLineEdit* edit = field == 0 ? directoryPage.GetDirectoryEdit()
                          : field == 1 ? namePage.GetNameEdit()
                                       : dialog.GetSiteUrlEdit();
        namePage.GetLocalButton()->click();
        edit->window()->show();
        // 255 to 259 bytes: short enough for a path, too long for the field.
        const QString tooLong = u"/srv/"_s + QString(252, u'd');
        const QString before = how == 2 ? QString(limit, u'k') : u"/kept"_s;
        edit->setText(before);
        edit->setFocus();
        switch (how) {
        case 0:
            CFileChooser::QueueAnswer(tooLong);
            (field == 0 ? directoryPage.GetBrowseButton() : namePage.GetBrowseButton())->click();
            break;
        case 1:
            QApplication::clipboard()->setText(tooLong);
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
            break;
        case 2:
            QTest::keyClick(edit, Qt::Key_X);
            break;
        }
        QCoreApplication::processEvents();
        QCOMPARE(edit->text(), before);
        const auto boxes = CMessageBox::TakeRequests();
        QCOMPARE(boxes.size(), how == 2 ? 0 : 1);
        if (how == 2)
            return;
        QCOMPARE(boxes[0].icon, QMessageBox::Warning);
        const QString holds = u" is too long for this field, which holds at most %1 characters."_s.arg(limit);
        QVERIFY2(boxes[0].text.contains(holds), qPrintable(boxes[0].text));
        QVERIFY2(how == 1 || boxes[0].text.startsWith(u"/srv/ddd"_s), qPrintable(boxes[0].text));

        // What fits goes in as it is.
        const QString fits = u"/srv/"_s + QString(limit - 5, u'f');
        edit->clear();
        if (how == 0) {
            CFileChooser::QueueAnswer(fits);
            (field == 0 ? directoryPage.GetBrowseButton() : namePage.GetBrowseButton())->click();
        } else {
            QApplication::clipboard()->setText(fits);
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        }
        QCoreApplication::processEvents();
        QCOMPARE(edit->text(), fits);
        QVERIFY(CMessageBox::TakeRequests().isEmpty());
    }
};

QTEST_MAIN(TestDownloadUrl)
#include "tst_downloadurl.moc"

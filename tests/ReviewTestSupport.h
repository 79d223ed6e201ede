#pragma once

// What the review and submission tests share: a web root of their own with the administrator's
// files beside it (where the site's links lead), reviews and submissions to write, the Reviews page
// and the dialogs answered, and a reader that tells a replaced file from one rewritten in place.

#include "controls/CMessageBox.h"
#include "controls/CModalRun.h"
#include "controls/CPropertySheet.h"
#include "DialogSupport.h"
#include "reviews/CEditReviewDialog.h"
#include "reviews/CReviewsPage.h"
#include "reviews/CReviewSubmissionsDialog.h"
#include "reviews/ReviewFile.h"
#include "reviews/Submissions.h"
#include "settings/Globals.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>

#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(CReview)

namespace ReviewTestSupport {

using DialogSupport::Highlight;
using DialogSupport::TakeTexts;

// A blank line, a letter beyond ASCII, "%" signs and quotes: what a writer must keep.
inline const QList<CReview> kTwo = {
    {u"Ann Lee"_s, u"ann@example.org"_s, true, u"May 1, 1999"_s,
     u"Great game.\r\n\r\nMy kids love it.\r\n"_s},
    {u"Bo Ek"_s, u"bo@example.org"_s, false, u"2001-02-03"_s, u"Fünf Sterne: 100% \"gut\" %1"_s},
};
// A review as an older site appends it, in its old code page ("René", curly quotes).
inline const QByteArray kSiteReview = "Ren\xe9\r\nr@x\r\nfalse\r\n1/2/99\r\n\x93Hi\x94\r\n\t\r\n";
inline const QByteArray kSiteSubmission = "5\r\nkeen.zip\r\n" + kSiteReview;

inline CSubmission Sub(qint64 id, const QString& file, const QString& name)
{
    return {
        {name, name.toLower() + u"@example.org"_s, false, u"May 1, 1999"_s, u"Fine.\r\nReally."_s}, id, file};
}

inline const QList<CSubmission> kThree = {Sub(7, u"keen.zip"_s, u"Ann"_s), Sub(8, u"doom.zip"_s, u"Bo"_s),
                                          Sub(9, u"quake.zip"_s, u"Cy"_s)};

inline QByteArray Records(const QList<CSubmission>& list)
{
    QByteArray data;
    for (const CSubmission& s : list)
        data += FormatSubmission(s);
    return data;
}

// Reviews and submissions in one line each, for comparisons that show what differs.
inline QString Describe(const QList<CReview>& reviews)
{
    QStringList parts;
    for (const CReview& r : reviews)
        parts.append(u"[%1|%2|%3|%4|%5]"_s.arg(r.name, r.email, r.anonymous ? u"true"_s : u"false"_s, r.date,
                                               QString(r.text).replace(u"\r\n"_s, u"\\r\\n"_s)));
    return parts.join(u' ');
}

inline QString DescribeSubmissions(const QList<CSubmission>& list)
{
    QStringList parts;
    for (const CSubmission& s : list)
        parts.append(QString::number(s.file_id) + u'|' + s.file_name + Describe(QList<CReview>{s}));
    return parts.join(u' ');
}

// Every entry of a directory with its bytes and modification time, links not followed: two
// snapshots differ when anything in it was written, made, replaced or removed.
inline QStringList Snapshot(const QString& dir)
{
    QStringList entries;
    for (const QString& name : TestSupport::Entries(dir)) {
        const QString path = dir + u'/' + name;
        struct stat st = {};
        ::lstat(QFile::encodeName(path).constData(), &st);
        const QByteArray bytes = S_ISLNK(st.st_mode) ? QByteArray() : TestSupport::ReadFile(path);
        entries.append(u"%1 %2.%3 %4"_s.arg(name)
                           .arg(st.st_mtim.tv_sec)
                           .arg(st.st_mtim.tv_nsec)
                           .arg(QString::fromLatin1(bytes.toHex())));
    }
    return entries;
}

inline bool MakeLink(const QString& target, const QString& link)
{
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0;
}

inline void AppendAsTheSite(const QString& path, const QByteArray& record)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    QCOMPARE(file.write(record), record.size());
}

// A web root of the test's own (its name may hold "%s": it is never a format), an empty reviews/
// for each case, and the administrator's own files beside it.
class CWebRoot
{
public:
    QTemporaryDir m_dir;
    QString m_outside;

    void OpenWebRoot(const QString& name = u"web"_s)
    {
        QVERIFY(m_dir.isValid());
        g_szHttpPath = m_dir.path() + u'/' + name + u'/';
        g_strDatabasePath = m_dir.path() + u"/db"_s; // where posts are noted
        m_outside = m_dir.path() + u"/home"_s;
    }

    // For init(): no answers or messages left, reviews/ and the outside files as they began.
    void ResetWebRoot()
    {
        CModalRun::ClearHandlers();
        CMessageBox::SetAnsweringMode(true);
        CMessageBox::TakeRequests();
        QFile::remove(Reviews()); // a link a case left
        for (const QString& dir : {Reviews(), g_strDatabasePath, m_outside}) {
            QDir(dir).removeRecursively();
            QVERIFY(QDir().mkpath(dir));
        }
        TestSupport::WriteFile(m_outside + u"/.profile"_s, "export PATH=$HOME/bin:$PATH\n");
    }

    static QString Reviews() { return g_szHttpPath + u"reviews"_s; }
    static QString Submissions() { return SubmissionsFilePath(); }
};

// Queues one Edit Review run: notes what it showed in *shown, then types values and presses OK, or
// without values presses Cancel.
inline void QueueEditReview(const std::optional<CReview>& values, CReview* shown = nullptr)
{
    CModalRun::QueueHandler([values, shown](QDialog& d) {
        auto& dialog = static_cast<CEditReviewDialog&>(d);
        if (shown)
            *shown = {dialog.GetNameEdit()->text(), dialog.GetEmailEdit()->text(),
                      dialog.GetAnonymousCheck()->isChecked(), dialog.GetDateEdit()->text(),
                      CEditReviewDialog::TextFromField(*dialog.GetReviewEdit())};
        if (!values) {
            dialog.reject();
            return dialog.result();
        }
        dialog.GetNameEdit()->setText(values->name);
        dialog.GetEmailEdit()->setText(values->email);
        dialog.GetAnonymousCheck()->setChecked(values->anonymous);
        dialog.GetDateEdit()->setText(values->date);
        CEditReviewDialog::ShowTextInField(*dialog.GetReviewEdit(), values->text);
        dialog.GetOkButton()->click();
        return dialog.result();
    });
}

inline void SelectRows(CReviewsPage& page, std::initializer_list<int> rows)
{
    QItemSelectionModel* selection = page.GetList()->selectionModel();
    selection->clearSelection();
    for (int row : rows)
        selection->select(page.GetList()->model()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// A shown sheet with a plain page first and the Reviews page of a file second, which is active.
inline std::unique_ptr<CPropertySheet> OpenReviewsPage(qint64 id, CReviewsPage** page)
{
    auto sheet = std::make_unique<CPropertySheet>(u"Properties"_s);
    sheet->AddPage(new CPropertyPage(1, u"General"_s));
    *page = new CReviewsPage(id, u"T"_s);
    sheet->AddPage(*page);
    sheet->show();
    sheet->SetActivePage(1);
    return sheet;
}

// The names the rows of the submissions dialog show; a row that does not show its submission is
// marked.
inline QStringList Names(const CReviewSubmissionsDialog& dialog)
{
    QStringList names;
    for (int row = 0; row < dialog.GetList()->topLevelItemCount(); ++row) {
        names.append(dialog.GetList()->topLevelItem(row)->text(1));
        if (dialog.GetSubmissions()[row].name != names.last())
            names.last() += u" (row does not match)"_s;
    }
    return names;
}

// A reader that opened a file before it was rewritten, as the site's pages do while the explorer
// writes: a file replaced by rename leaves that reader the old file whole, where one written in
// place would show it a half-written or emptied one.
class CEarlierReader
{
public:
    explicit CEarlierReader(const QString& path) : m_path(path), m_file(path)
    {
        struct stat st = {};
        if (m_file.open(QIODevice::ReadOnly) && ::fstat(m_file.handle(), &st) == 0) {
            m_inode = st.st_ino;
            m_bytes = m_file.readAll();
        }
    }

    bool IsOpen() const { return m_file.isOpen() && !m_bytes.isEmpty(); }
    // The name leads to another file now, and the one read before still holds its old bytes.
    bool SawReplacement()
    {
        struct stat st = {};
        return ::stat(QFile::encodeName(m_path).constData(), &st) == 0 && st.st_ino != m_inode &&
               m_file.seek(0) && m_file.readAll() == m_bytes;
    }

private:
    QString m_path;
    QFile m_file;
    ino_t m_inode = 0;
    QByteArray m_bytes;
};

} // namespace ReviewTestSupport

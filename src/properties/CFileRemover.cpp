#include "properties/CFileRemover.h"

#include "controls/CMessageBox.h"
#include "controls/CWaitCursor.h"
#include "database/CFileRecord.h"
#include "explorer/CFileListView.h"
#include "explorer/CMainFrame.h"
#include "explorer/CTreeItem.h"
#include "files/FaultMessage.h"
#include "startup/Globals.h"
#include "startup/SafeFormat.h"

#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>

namespace {

int s_progressDelay = CFileRemover::kProgressDelay;
int s_progressInterval = CFileRemover::kProgressInterval;

// Keeps the frame's list from being refilled while a walk reads its rows by position: a refill
// replaces the cursor the walk reads.
class CRefreshHold
{
public:
    explicit CRefreshHold(CMainFrame& frame) : m_frame(frame) { m_frame.HoldRefresh(true); }
    ~CRefreshHold() { m_frame.HoldRefresh(false); }
    CRefreshHold(const CRefreshHold&) = delete;
    CRefreshHold& operator=(const CRefreshHold&) = delete;

private:
    CMainFrame& m_frame;
};

} // namespace

CFileRemover::CFileRemover(QWidget* owner, CFileRecord& cursor, ListRowRanges rows, Kind kind)
    : m_owner(owner), m_cursor(cursor), m_rows(std::move(rows)), m_kind(kind)
{
    m_clock.start(); // Run starts it again; prompts asked before it must not read an idle clock
}

CFileRemover::~CFileRemover() = default;

void CFileRemover::SetProgressTimes(int delay, int interval)
{
    s_progressDelay = delay;
    s_progressInterval = interval;
}

void CFileRemover::Run(double areaId)
{
    m_clock.start();
    if (m_kind == Kind::Delete)
        DeleteListedFiles(m_cursor, m_rows, *this);
    else
        RemoveListedFilesFromArea(m_cursor, m_rows, areaId, *this);
    m_progress.reset();
}

void CFileRemover::RunDeleteFile(CMainFrame& frame)
{
    RunCommand(frame, Kind::Delete);
}

void CFileRemover::RunRemoveFromArea(CMainFrame& frame)
{
    RunCommand(frame, Kind::Remove);
}

void CFileRemover::RunCommand(CMainFrame& frame, Kind kind)
{
    const QString question =
        kind == Kind::Delete
            ? tr("Are you sure you want to delete the selected item(s)?")
            : tr("Are you sure you want to remove the selected item(s) from this file area?");
    if (CMessageBox::Show(&frame, question, tr("Question"), QMessageBox::Question,
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    CWaitCursor wait;
    const CFolderTreeItem* node = frame.GetSelectedTreeItem();
    const quint32 type = node ? node->GetType() : 0;
    const bool filesOfNode =
        kind == Kind::Delete ? type == kNodeArea || type == kNodeSearchResults : type == kNodeArea;
    if (filesOfNode && frame.GetFileCursor()) {
        const CRefreshHold hold(frame);
        CFileRemover remover(&frame, *frame.GetFileCursor(), frame.GetListView()->GetSelectedRows(), kind);
        remover.Run(double(node->GetAreaId()));
    }
    frame.PostRefresh();
}

CRemovalPrompts::Answer CFileRemover::AskDeleteLocalCopies()
{
    switch (CMessageBox::Show(m_owner,
                              tr("One or more of the file locations points to a local file area.\n"
                                 "Would you like to delete the file from local storage?"),
                              tr("Warning"), QMessageBox::NoIcon,
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

bool CFileRemover::AskDeleteFileOfLastArea(const QString& title)
{
    const QString text =
        SafeFormat(u"%s exists only in the selected file area. Removing this file will delete "
                   u"it from the system. Are you sure you want to remove this file?",
                   ElideStoredText(title));
    return CMessageBox::Show(m_owner, text, tr("Warning"), QMessageBox::Question,
                             QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void CFileRemover::ReportNotDeleted(const QString& path, const FileFault& fault)
{
    CMessageBox::Show(m_owner,
                      SafeFormat(u"The file %s could not be deleted from disk.\n%s", ElideStoredText(path),
                                 ShownFaultMessage(fault)),
                      tr("Warning"), QMessageBox::NoIcon, QMessageBox::Ok);
}

void CFileRemover::ReportCannotDelete(const QString& reason)
{
    CMessageBox::Show(m_owner, reason, tr("Warning"), QMessageBox::Warning, QMessageBox::Ok);
}

void CFileRemover::ReportOutsideArea(const QString& location)
{
    CMessageBox::Show(
        m_owner,
        SafeFormat(u"The location %s points outside its file area's directory and was not deleted.",
                   ElideStoredText(location)),
        tr("Warning"), QMessageBox::Warning, QMessageBox::Ok);
}

bool CFileRemover::Starting(qint64 number, qint64 total, const QString& title)
{
    // A short walk shows nothing; a long one shows which file it is at, brought up to date a few
    // times a second so that drawing does not slow the walk.
    const qint64 now = m_clock.elapsed();
    if (!m_progress) {
        if (now < s_progressDelay)
            return true;
        m_progress = std::make_unique<QProgressDialog>(m_owner);
        m_progress->setWindowTitle(QString::fromUtf8(g_pszAppName));
        m_progress->setAccessibleName(m_progress->windowTitle());
        // The owner's message boxes stay usable above it: the one shown last takes the input.
        m_progress->setWindowModality(Qt::WindowModal);
        m_progress->setAutoClose(false);
        m_progress->setAutoReset(false);
        auto* bar = new QProgressBar(m_progress.get());
        bar->setAccessibleName(tr("Progress"));
        m_progress->setBar(bar);
        // Cancel stops the walk after the file it is at: a file is never left half deleted.
        auto* cancel = new QPushButton(tr("Cancel"), m_progress.get());
        cancel->setAccessibleName(tr("Cancel"));
        m_progress->setCancelButton(cancel);
        m_progress->setRange(0, int(qMin<qint64>(total, INT_MAX)));
        m_progress->show();
    } else if (now - m_lastUpdate < s_progressInterval) {
        return !m_progress->wasCanceled();
    }
    m_lastUpdate = now;
    const QString shown = ElideStoredText(title);
    const QString label = m_kind == Kind::Delete
                              ? SafeFormat(u"Deleting %s (%lld of %lld)", shown, number, total)
                              : SafeFormat(u"Removing %s (%lld of %lld)", shown, number, total);
    m_progress->setLabelText(label);
    m_progress->setValue(int(qMin<qint64>(number - 1, INT_MAX)));
    // The dialog draws itself and its Cancel button is heard; the owner takes no input meanwhile.
    QCoreApplication::processEvents();
    return !m_progress->wasCanceled();
}

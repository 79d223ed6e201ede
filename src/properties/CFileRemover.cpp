#include "properties/CFileRemover.h"

#include "controls/CMessageBox.h"
#include "controls/RunWithProgress.h"
#include "database/CFileRecord.h"
#include "files/FaultMessage.h"
#include "files/SafeFormat.h"
#include "settings/Globals.h"
#include "settings/WorkProgress.h"

#include <QSemaphore>

#include <atomic>
#include <memory>

namespace {

// The prompts of a walk on a worker thread. A question is put to the window thread and waited for;
// a report waits there until the next question or the end of the walk, so the user sees everything
// in the order it happened. Progress goes to the progress dialog.
class CWorkerPrompts : public CRemovalPrompts
{
public:
    CWorkerPrompts(CFileRemover& window, CFileRemover::Kind kind, CWorkProgress& progress)
        : m_window(window), m_kind(kind), m_progress(progress)
    {
    }

    Answer AskDeleteLocalCopies() override
    {
        return Ask<Answer>([](CRemovalPrompts& p) { return p.AskDeleteLocalCopies(); }, Answer::Cancel);
    }
    bool AskDeleteFileOfLastArea(const QString& title) override
    {
        return Ask<bool>([title](CRemovalPrompts& p) { return p.AskDeleteFileOfLastArea(title); }, false);
    }
    void ReportNotDeleted(const QString& path, const FileFault& fault) override
    {
        m_window.QueueReport([path, fault](CRemovalPrompts& p) { p.ReportNotDeleted(path, fault); });
    }
    void ReportCopyKept(const QString& path, const QString& keeper) override
    {
        m_window.QueueReport([path, keeper](CRemovalPrompts& p) { p.ReportCopyKept(path, keeper); });
    }
    void ReportOutsideArea(const QString& location) override
    {
        m_window.QueueReport([location](CRemovalPrompts& p) { p.ReportOutsideArea(location); });
    }
    void ReportCannotDelete(const QString& reason) override
    {
        m_window.QueueReport([reason](CRemovalPrompts& p) { p.ReportCannotDelete(reason); });
    }
    bool Starting(qint64 number, qint64 total, const QString& title) override
    {
        m_progress.SetRange(total);
        m_progress.SetValue(number - 1);
        m_progress.SetText(CFileRemover::ProgressText(m_kind, number, total, title));
        return !m_progress.Cancelled();
    }

private:
    // Puts the question to the window thread and waits for the answer. A question the window has
    // not taken up yet when the walk is stopped is dropped, and ifStopped stands for its answer: the
    // window may be waiting for this thread to end. One on the screen is waited for.
    template<typename T>
    T Ask(std::function<T(CRemovalPrompts&)> question, T ifStopped)
    {
        struct Pending
        {
            enum State
            {
                Waiting,
                Asked,
                Dropped
            };
            std::atomic<int> state{Waiting};
            QSemaphore answered;
            T answer{};
        };
        auto pending = std::make_shared<Pending>();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [pending, question = std::move(question), window = &m_window] {
                int waiting = Pending::Waiting;
                if (!pending->state.compare_exchange_strong(waiting, Pending::Asked))
                    return; // the walk has stopped and moved on: window may be gone
                window->ShowQueuedReports();
                pending->answer = question(*window);
                pending->answered.release();
            },
            Qt::QueuedConnection);
        while (!pending->answered.tryAcquire(1, 20)) {
            int waiting = Pending::Waiting;
            if (m_progress.Cancelled() && pending->state.compare_exchange_strong(waiting, Pending::Dropped))
                return ifStopped;
        }
        return pending->answer;
    }

    CFileRemover& m_window;
    const CFileRemover::Kind m_kind;
    CWorkProgress& m_progress;
};

} // namespace

CFileRemover::CFileRemover(QWidget* owner, const CFileRecord& cursor, const ListRowRanges& rows, Kind kind)
    : m_owner(owner), m_keys(FileKeysOfRows(cursor, rows)), m_kind(kind)
{
}

CFileRemover::~CFileRemover() = default;

void CFileRemover::Run(double areaId)
{
    const auto walk = [this, areaId](CRemovalPrompts& prompts) {
        if (m_kind == Kind::Delete)
            DeleteListedFiles(m_keys, prompts);
        else
            RemoveListedFilesFromArea(m_keys, areaId, prompts);
    };
    // One file is dealt with at once. Several, each with its database work and its copies, can
    // take long: they go beside the window, which keeps drawing and offers Cancel. The worker
    // reads and writes the database through a connection of its own (the manager keeps one per
    // thread), so the window's list goes on reading through its own meanwhile.
    if (m_keys.size() <= 1) {
        walk(*this);
        return;
    }
    RunWithProgress(m_owner, QString::fromUtf8(g_pszAppName),
                    m_kind == Kind::Delete ? tr("Deleting files...") : tr("Removing files..."),
                    [&](CWorkProgress& progress) {
                        CWorkerPrompts prompts(*this, m_kind, progress);
                        walk(prompts);
                    });
    ShowQueuedReports();
}

QString CFileRemover::ProgressText(Kind kind, qint64 number, qint64 total, const QString& title)
{
    const QString shown = ElideStoredText(title);
    return kind == Kind::Delete ? SafeFormat(u"Deleting %s (%lld of %lld)", shown, number, total)
                                : SafeFormat(u"Removing %s (%lld of %lld)", shown, number, total);
}

CRemovalPrompts::Answer CFileRemover::AskDeleteLocalCopies()
{
    if (m_copiesForAll)
        return *m_copiesForAll;
    CMessageBox::Buttons buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    if (m_keys.size() > 1)
        buttons |= QMessageBox::YesToAll | QMessageBox::NoToAll;
    switch (CMessageBox::Show(m_owner,
                              tr("One or more of the file locations points to a local file area.\n"
                                 "Would you like to delete the file from local storage?"),
                              tr("Warning"), QMessageBox::NoIcon, buttons)) {
    case QMessageBox::YesToAll:
        m_copiesForAll = Answer::Yes;
        return Answer::Yes;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::NoToAll:
        m_copiesForAll = Answer::No;
        return Answer::No;
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

void CFileRemover::ReportCopyKept(const QString& path, const QString& keeper)
{
    CMessageBox::Show(m_owner,
                      SafeFormat(u"The file %s was not deleted from disk: it is still a download location of "
                                 u"\"%s\".",
                                 ElideStoredText(path), ElideStoredText(keeper)),
                      tr("Warning"), QMessageBox::Information, QMessageBox::Ok);
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

bool CFileRemover::Starting(qint64, qint64, const QString&)
{
    return true; // a walk on the window thread is one file long: there is nothing to show or stop
}

void CFileRemover::QueueReport(std::function<void(CRemovalPrompts&)> report)
{
    const QMutexLocker lock(&m_reportsMutex);
    m_reports.append(std::move(report));
}

void CFileRemover::ShowQueuedReports()
{
    QList<std::function<void(CRemovalPrompts&)>> reports;
    {
        const QMutexLocker lock(&m_reportsMutex);
        reports.swap(m_reports);
    }
    for (const auto& report : std::as_const(reports))
        report(*this);
}

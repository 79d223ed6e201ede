#pragma once

#include "adding/wizard/CWizardPage.h"
#include "settings/WorkProgress.h"

#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

struct AddFilesChoice;
class QLineEdit;
class QProgressBar;
class QThread;

// The Add Files wizard's progress page: shown, it starts the worker thread that imports the files
// and leaves the page only through Cancel until the worker reports completion. The worker never
// waits on the window: it writes its progress into shared counters, which the page shows at most
// every kRefreshMs, and posts its completion. A window that stops answering (a paused display)
// neither slows nor stops the import.
class CAddFilesDoitPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0152;
    static constexpr quint32 kHelpTopic = 51;
    // How often the page shows the worker's progress.
    static constexpr int kRefreshMs = 100;

    // The worker imports choice and writes resultsLog, which begins with the collection's refusals.
    CAddFilesDoitPage(const AddFilesChoice& choice, QString& resultsLog, QWidget* parent = nullptr);
    ~CAddFilesDoitPage() override;

    bool OnSetActive() override;
    // Stops the worker between files and waits until it has ended, then offers Next.
    void OnCancel() override;
    // Requests the stop and waits for the worker without limit.
    void StopAndWait();

    bool IsStopRequested() const { return m_stop.load(); }
    bool IsWorkerRunning() const;
    // For tests: called on the worker thread with each file's index once it is the current file,
    // before it is stored.
    void SetBeforeFileHook(std::function<void(qsizetype)> hook) { m_beforeFileHook = std::move(hook); }

    QLineEdit* GetCurrentFileEdit() const { return m_currentFile; }
    QProgressBar* GetProgressBar() const { return m_progress; }
    QLineEdit* GetCountField() const { return m_count; }
    // "3 of 10 files done".
    static QString CountText(qint64 done, qint64 total);

private:
    // Shows what the worker has written into m_work.
    void ShowProgress();
    // The worker has ended: the last progress and "Completed.".
    void ShowEnd();
    void OnCompleted();
    // The worker thread's body: imports the files one by one into the host area.
    void ImportOnWorker();

    const AddFilesChoice& m_choice;
    QString& m_resultsLog;

    QLineEdit* m_currentFile = nullptr;
    QProgressBar* m_progress = nullptr;
    QLineEdit* m_count = nullptr;
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_stop{false};
    CWorkProgress m_work; // the worker's count and current file
    QTimer m_refresh;     // runs while the worker does
    std::function<void(qsizetype)> m_beforeFileHook;
};

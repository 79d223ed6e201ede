#pragma once

#include "adding/wizard/CWizardPage.h"

#include <atomic>
#include <functional>
#include <memory>

struct AddFilesChoice;
class QLabel;
class QLineEdit;
class QProgressBar;
class QThread;

// The Add Files wizard's progress page: shown, it starts the worker thread that imports the files
// and leaves the page only through Cancel until the worker reports completion. The worker reaches
// the page's controls only through bounded calls to the window thread, so a window thread that
// waits for it never deadlocks with it.
class CAddFilesDoitPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0152;
    static constexpr quint32 kHelpTopic = 51;
    // How long the worker waits for the window thread to carry out an update.
    static constexpr int kUpdateTimeoutMs = 1000;

    // The worker imports choice and writes resultsLog, which begins with the collection's refusals.
    CAddFilesDoitPage(const AddFilesChoice& choice, QString& resultsLog, QWidget* parent = nullptr);
    ~CAddFilesDoitPage() override;

    bool OnSetActive() override;
    // Stops the worker between files and waits until it has ended, then offers Next.
    void OnCancel() override;
    // Requests the stop and waits for the worker without limit, the window thread answering the
    // worker's updates meanwhile.
    void StopAndWait();

    bool IsStopRequested() const { return m_stop.load(); }
    bool IsWorkerRunning() const;
    // Runs update on the window thread: false when it was not carried out within kUpdateTimeoutMs.
    bool SendUpdate(const std::function<void()>& update);
    // Tells the page, without waiting, that the worker has completed.
    void PostCompleted();

    QLineEdit* GetCurrentFileEdit() const { return m_currentFile; }
    QProgressBar* GetProgressBar() const { return m_progress; }
    QLabel* GetCountLabel() const { return m_count; }
    // "3 of 10 files done".
    static QString CountText(qint64 done, qint64 total);

private:
    void OnCompleted();
    // The worker thread's body: imports the files one by one into the host area.
    void ImportOnWorker();

    const AddFilesChoice& m_choice;
    QString& m_resultsLog;

    QLineEdit* m_currentFile = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_count = nullptr;
    std::unique_ptr<QThread> m_thread;
    std::atomic<bool> m_stop{false};
};

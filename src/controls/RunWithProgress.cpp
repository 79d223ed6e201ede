#include "controls/RunWithProgress.h"

#include "controls/CModalRun.h"
#include "controls/CWaitCursor.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

namespace {

// Long enough that a quick check never flashes a dialog, short enough that the window never seems
// to hang.
constexpr unsigned long kQuietWaitMs = 80;
constexpr int kRefreshMs = 100;

class CProgressDialog : public QDialog
{
public:
    CProgressDialog(QWidget* parent, const QString& caption, const QString& text, CWorkProgress& progress,
                    QThread& thread)
        : QDialog(parent)
        , m_progress(progress)
        , m_thread(thread)
        , m_text(new QLabel(text, this))
        , m_bar(new QProgressBar(this))
    {
        setWindowTitle(caption);
        // Texts name visitors' files and the site's directories: shown as they are, never as markup.
        m_text->setTextFormat(Qt::PlainText);
        m_text->setWordWrap(true);
        m_text->setMinimumWidth(320);
        m_bar->setAccessibleName(tr("Progress"));
        m_bar->setTextVisible(false);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
        m_cancel = buttons->button(QDialogButtonBox::Cancel);
        m_cancel->setAccessibleName(m_cancel->text().remove(QLatin1Char('&')));
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(m_text);
        layout->addWidget(m_bar);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::rejected, this, &CProgressDialog::reject);
        connect(&thread, &QThread::finished, this, [this] { done(m_progress.Cancelled() ? Rejected : Accepted); });
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, &CProgressDialog::Refresh);
        timer->start(kRefreshMs);
        Refresh();
    }

    // Escape, the close box and Cancel all ask the work to stop; the dialog stays until it has.
    void reject() override
    {
        m_progress.Cancel();
        m_cancel->setEnabled(false);
        m_text->setText(tr("Cancelling..."));
    }

private:
    void Refresh()
    {
        // Also closes the dialog should the thread have finished before it was watched.
        if (m_thread.isFinished()) {
            done(m_progress.Cancelled() ? Rejected : Accepted);
            return;
        }
        const qint64 maximum = m_progress.Maximum();
        // QProgressBar counts in int: scale large amounts down.
        const int shift = maximum > INT_MAX ? 20 : 0;
        m_bar->setRange(0, int(maximum >> shift));
        m_bar->setValue(int(qMin(m_progress.Value(), maximum) >> shift));
        const QString text = m_progress.Text();
        if (!text.isEmpty() && !m_progress.Cancelled())
            m_text->setText(text);
    }

    CWorkProgress& m_progress;
    QThread& m_thread;
    QLabel* m_text;
    QProgressBar* m_bar;
    QPushButton* m_cancel = nullptr;
};

} // namespace

bool RunWithProgress(QWidget* parent, const QString& caption, const QString& text,
                     const std::function<void(CWorkProgress&)>& work)
{
    CWorkProgress progress;
    std::unique_ptr<QThread> thread(QThread::create([&] { work(progress); }));
    thread->start();
    if (!thread->wait(kQuietWaitMs)) {
        CProgressDialog dialog(parent, caption, text, progress, *thread);
        CModalRun::ExecProgress(dialog);
        if (!thread->isFinished()) {
            // A test's handler, or the dialog closing otherwise, ends the run early: stop the work.
            progress.Cancel();
            const CWaitCursor wait;
            thread->wait();
        }
    }
    return !progress.Cancelled();
}

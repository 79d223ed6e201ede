#include "adding/addfiles/CAddFilesDoitPage.h"

#include "adding/addfiles/AddFilesChoice.h"
#include "adding/addfiles/AddFilesImport.h"
#include "controls/CMessageBox.h"
#include "controls/CPropertySheet.h"
#include "controls/CWaitCursor.h"
#include "controls/PageControls.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSemaphore>
#include <QThread>

#include <limits>

CAddFilesDoitPage::CAddFilesDoitPage(const AddFilesChoice& choice, QString& resultsLog, QWidget* parent)
    : CWizardPage(kTemplateId, tr("Add Multiple Files"), parent), m_choice(choice), m_resultsLog(resultsLog)
{
    SetHelpTopic(kHelpTopic);
    auto* label = new QLabel(tr("Current file:"), this);
    NameAfterText(label, label->text());
    m_currentFile = new QLineEdit(this);
    m_currentFile->setReadOnly(true);
    NameAfterText(m_currentFile, label->text());
    label->setBuddy(m_currentFile);
    m_progress = new QProgressBar(this);
    m_progress->setTextVisible(false);
    NameAfterText(m_progress, tr("Progress"));
    m_count = new QLabel(this);
    NameAfterText(m_count, tr("Files done"));
    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(m_currentFile, 0, 1);
    layout->addWidget(m_progress, 1, 0, 1, 2);
    layout->addWidget(m_count, 2, 0, 1, 2);
    layout->setRowStretch(3, 1);
    layout->setColumnStretch(1, 1);
}

CAddFilesDoitPage::~CAddFilesDoitPage()
{
    StopAndWait();
}

QString CAddFilesDoitPage::CountText(qint64 done, qint64 total)
{
    return tr("%1 of %2 files done").arg(done).arg(total);
}

bool CAddFilesDoitPage::IsWorkerRunning() const
{
    return m_thread && !m_thread->isFinished();
}

bool CAddFilesDoitPage::OnSetActive()
{
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(0);
    if (IsWorkerRunning())
        return false;
    if (NeedsCopy(m_choice.files, m_choice.host.directory) &&
        CMessageBox::Show(this,
                          tr("One or more of the files selected must be copied to the host file area. Do you "
                             "wish to continue?"),
                          QString(), QMessageBox::NoIcon,
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;

    m_resultsLog = m_choice.collectionRefusals;
    m_currentFile->clear();
    m_count->clear();
    m_stop = false;
    m_thread.reset(QThread::create([this] { ImportOnWorker(); }));
    m_thread->start();
    return CWizardPage::OnSetActive();
}

void CAddFilesDoitPage::OnCancel()
{
    StopAndWait();
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(CPropertySheet::kNext);
}

void CAddFilesDoitPage::StopAndWait()
{
    m_stop = true;
    if (!IsWorkerRunning())
        return;
    CWaitCursor wait;
    // The worker may be waiting for an update of this page: keep carrying them out, but take no
    // input from the user while the wizard winds down.
    while (!m_thread->wait(QDeadlineTimer(20)))
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool CAddFilesDoitPage::SendUpdate(const std::function<void()>& update)
{
    // The semaphore outlives a call that arrives after the worker gave up waiting for it.
    auto done = std::make_shared<QSemaphore>();
    QMetaObject::invokeMethod(
        this,
        [update, done] {
            update();
            done->release();
        },
        Qt::QueuedConnection);
    return done->tryAcquire(1, kUpdateTimeoutMs);
}

void CAddFilesDoitPage::PostCompleted()
{
    QMetaObject::invokeMethod(this, &CAddFilesDoitPage::OnCompleted, Qt::QueuedConnection);
}

void CAddFilesDoitPage::OnCompleted()
{
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(CPropertySheet::kNext);
}

void CAddFilesDoitPage::ImportOnWorker()
{
    const QStringList& files = m_choice.files;
    const qint64 total = files.size();
    // The bar counts in int; a list longer than that is shown in proportion.
    const qint64 scale = total / std::numeric_limits<int>::max() + 1;

    if (!SendUpdate([this, total, scale] {
            m_progress->setRange(0, int(total / scale));
            m_progress->setValue(0);
            m_count->setText(CountText(0, total));
        }))
        return;
    bool windowGone = false;
    const int added =
        ImportFiles(files, m_choice.host, m_choice.extractDescriptions, m_resultsLog, [&](qsizetype index) {
            if (IsStopRequested())
                return false;
            const QString path = files[index];
            windowGone = !SendUpdate([this, path, index, total, scale] {
                m_currentFile->setText(path);
                m_progress->setValue(int(index / scale));
                m_count->setText(CountText(index, total));
            });
            return !windowGone;
        });
    if (windowGone)
        return;
    if (!SendUpdate([this, total, scale] {
            m_progress->setValue(int(total / scale));
            m_count->setText(CountText(total, total));
        }))
        return;
    m_resultsLog += AddedSummaryLine(added);
    if (SendUpdate([this] { m_currentFile->setText(QObject::tr("Completed.")); }))
        PostCompleted();
}

#include "adding/addfiles/CAddFilesDoitPage.h"

#include "adding/addfiles/AddFilesImport.h"
#include "adding/addfiles/CAddFilesWizard.h"
#include "controls/CMessageBox.h"
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

CAddFilesDoitPage::CAddFilesDoitPage(QWidget* parent)
    : CWizardPage(kTemplateId, tr("Add Multiple Files"), parent)
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
    CPropertySheet* sheet = GetSheet();
    if (sheet)
        sheet->SetWizardButtons(0);
    auto* wizard = qobject_cast<CAddFilesWizard*>(sheet);
    if (!wizard || IsWorkerRunning())
        return false;
    CAddFilesWizard::SetRunning(wizard);
    if (NeedsCopy(wizard->GetFileList(), wizard->GetHost().directory) &&
        CMessageBox::Show(this,
                          tr("One or more of the files selected must be copied to the host file area. Do you "
                             "wish to continue?"),
                          QString(), QMessageBox::NoIcon,
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;

    wizard->GetResultsLog() = wizard->GetCollectionRefusals();
    m_currentFile->clear();
    m_count->clear();
    m_stop = false;
    m_thread.reset(QThread::create([this] { AddFilesWorker(this); }));
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

void AddFilesWorker(CAddFilesDoitPage* page)
{
    CAddFilesWizard* wizard = CAddFilesWizard::GetRunning();
    if (!wizard)
        return;
    const QStringList& files = wizard->GetFileList();
    const AddFilesHost& host = wizard->GetHost();
    const bool extract = wizard->GetExtractDescriptions();
    QString& log = wizard->GetResultsLog();
    const qint64 total = files.size();
    // The bar counts in int; a list longer than that is shown in proportion.
    const qint64 scale = total / std::numeric_limits<int>::max() + 1;

    if (!page->SendUpdate([page, total, scale] {
            page->GetProgressBar()->setRange(0, int(total / scale));
            page->GetProgressBar()->setValue(0);
            page->GetCountLabel()->setText(CAddFilesDoitPage::CountText(0, total));
        }))
        return;
    bool windowGone = false;
    const int added = ImportFiles(files, host, extract, log, [&](qsizetype index) {
        if (page->IsStopRequested())
            return false;
        const QString path = files[index];
        windowGone = !page->SendUpdate([page, path, index, total, scale] {
            page->GetCurrentFileEdit()->setText(path);
            page->GetProgressBar()->setValue(int(index / scale));
            page->GetCountLabel()->setText(CAddFilesDoitPage::CountText(index, total));
        });
        return !windowGone;
    });
    if (windowGone)
        return;
    if (!page->SendUpdate([page, total, scale] {
            page->GetProgressBar()->setValue(int(total / scale));
            page->GetCountLabel()->setText(CAddFilesDoitPage::CountText(total, total));
        }))
        return;
    log += AddedSummaryLine(added);
    if (page->SendUpdate([page] { page->GetCurrentFileEdit()->setText(QObject::tr("Completed.")); }))
        page->PostCompleted();
}

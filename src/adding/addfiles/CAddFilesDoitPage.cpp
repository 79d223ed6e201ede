#include "adding/addfiles/CAddFilesDoitPage.h"

#include "adding/addfiles/AddFilesChoice.h"
#include "adding/addfiles/AddFilesImport.h"
#include "controls/CMessageBox.h"
#include "controls/CPropertySheet.h"
#include "controls/CWaitCursor.h"
#include "controls/PageControls.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
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
    m_count = MakeValueField(this);
    NameAfterText(m_count, tr("Files done"));
    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0);
    layout->addWidget(m_currentFile, 0, 1);
    layout->addWidget(m_progress, 1, 0, 1, 2);
    layout->addWidget(m_count, 2, 0, 1, 2);
    layout->setRowStretch(3, 1);
    layout->setColumnStretch(1, 1);
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &CAddFilesDoitPage::ShowProgress);
}

CAddFilesDoitPage::~CAddFilesDoitPage()
{
    m_stop = true;
    if (m_thread)
        m_thread->wait();
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
    m_work.SetRange(m_choice.files.size());
    m_work.SetValue(0);
    m_work.SetText(QString());
    ShowProgress();
    m_refresh.start();
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
    if (IsWorkerRunning()) {
        CWaitCursor wait;
        m_thread->wait(); // the worker waits on nothing of the window's
    }
    if (m_refresh.isActive())
        ShowEnd();
}

void CAddFilesDoitPage::ShowProgress()
{
    const qint64 total = m_work.Maximum();
    const qint64 done = m_work.Value();
    // The bar counts in int; a list longer than that is shown in proportion.
    const qint64 scale = total / std::numeric_limits<int>::max() + 1;
    m_progress->setRange(0, int(total / scale));
    m_progress->setValue(int(done / scale));
    m_count->setText(CountText(done, total));
    m_currentFile->setText(m_work.Text());
}

void CAddFilesDoitPage::ShowEnd()
{
    m_refresh.stop();
    ShowProgress();
    m_currentFile->setText(tr("Completed."));
}

void CAddFilesDoitPage::OnCompleted()
{
    // A run that Cancel already waited for has shown its end, and the sheet may be on another page.
    if (!m_refresh.isActive())
        return;
    m_thread->wait(); // posting this was the worker's last act
    ShowEnd();
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(CPropertySheet::kNext);
}

void CAddFilesDoitPage::ImportOnWorker()
{
    const QStringList& files = m_choice.files;
    ImportAndIndexFiles(
        files, m_choice.host, m_choice.extractDescriptions, m_resultsLog,
        [&](qsizetype index) {
            if (IsStopRequested())
                return false;
            m_work.SetText(files[index]);
            m_work.SetValue(index);
            if (m_beforeFileHook)
                m_beforeFileHook(index);
            return !IsStopRequested();
        },
        [&] {
            m_work.SetValue(files.size());
            m_work.SetText(tr("Indexing the new files for searches..."));
        });
    m_work.SetValue(files.size());
    QMetaObject::invokeMethod(this, &CAddFilesDoitPage::OnCompleted, Qt::QueuedConnection);
}

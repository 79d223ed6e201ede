#include "adding/addfile/CAddFilesDescriptionPage.h"

#include "adding/addfile/CNewFileSource.h"
#include "adding/DescriptionExtraction.h"
#include "controls/CFileChooser.h"
#include "controls/CMessageBox.h"
#include "controls/CPropertySheet.h"
#include "controls/PageControls.h"
#include "database/CFileRecord.h"
#include "files/DescriptionText.h"
#include "files/FileUtils.h"
#include "files/PathUtils.h"
#include "files/SafeFormat.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CAddFilesDescriptionPage::CAddFilesDescriptionPage(const CNewFileSource& source, NewFileEntries& entries,
                                                   QWidget* parent)
    : CWizardPage(kTemplateId, QString(), parent), m_source(source), m_entries(entries)
{
    SetHelpTopic(kHelpTopic);
    const DescriptionControls controls = BuildDescriptionControls(this, tr("Bri&ef Description:"));
    m_brief = controls.brief;
    m_detailed = controls.detailed;
    m_browse = controls.browse;
    connect(m_browse, &QPushButton::clicked, this, &CAddFilesDescriptionPage::OnBrowse);
}

void CAddFilesDescriptionPage::UpdateData(bool take)
{
    if (take) {
        m_entries.brief = m_brief->text();
        TrimString(m_entries.brief);
        m_entries.detailed = m_detailed->toPlainText().left(CFileRecord::kLongDescLength);
        TrimString(m_entries.detailed);
        return;
    }
    m_brief->setText(m_entries.brief);
    // A text field would make two lines of a CR LF.
    m_detailed->setPlainText(WithLineFeeds(m_entries.detailed));
}

void CAddFilesDescriptionPage::Refill()
{
    if (!m_source.ChangedSince(m_filledGeneration))
        return;
    m_entries.brief.clear();
    m_entries.detailed.clear();
    if (m_source.IsSubmissionUsed()) {
        m_entries.brief = m_source.GetSubmission().GetValue(QStringLiteral("ShortDescription"));
        m_entries.detailed = m_source.GetSubmission().GetBody();
    } else if (m_source.GetKind() == CNewFileSource::kLocalFile) {
        ExtractDescriptions(m_source.GetText(), m_entries.brief, kBriefBufferSize, m_entries.detailed,
                            kDetailedBufferSize);
    }
    UpdateData(false);
}

bool CAddFilesDescriptionPage::OnSetActive()
{
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(CPropertySheet::kBack | CPropertySheet::kNext);
    Refill();
    return CWizardPage::OnSetActive();
}

bool CAddFilesDescriptionPage::OnKillActive()
{
    UpdateData(true);
    return true;
}

void CAddFilesDescriptionPage::OnBrowse()
{
    UpdateData(true);
    const QString path = ChooseDescriptionImport(this);
    if (path.isEmpty())
        return;
    m_entries.detailed += WithLineFeeds(QString::fromUtf8(ReadTextFile(path)));
    UpdateData(false);
}

#include "adding/addfile/CAddFilesDescriptionPage.h"

#include "adding/addfile/CAddFileWizard.h"
#include "adding/DescriptionExtraction.h"
#include "controls/CFileChooser.h"
#include "controls/CMessageBox.h"
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

CAddFilesDescriptionPage::CAddFilesDescriptionPage(QWidget* parent)
    : CWizardPage(kTemplateId, QString(), parent)
{
    SetHelpTopic(kHelpTopic);
    const DescriptionControls controls = BuildDescriptionControls(this, tr("&Brief Description:"));
    m_brief = controls.brief;
    m_detailed = controls.detailed;
    m_browse = controls.browse;
    connect(m_browse, &QPushButton::clicked, this, &CAddFilesDescriptionPage::OnBrowse);
}

void CAddFilesDescriptionPage::UpdateData(bool take)
{
    if (take) {
        m_strBrief = m_brief->text();
        TrimString(m_strBrief);
        m_strDetailed = m_detailed->toPlainText().left(CFileRecord::kLongDescLength);
        TrimString(m_strDetailed);
        return;
    }
    m_brief->setText(m_strBrief);
    // A text field would make two lines of a CR LF.
    m_detailed->setPlainText(WithLineFeeds(m_strDetailed));
}

void CAddFilesDescriptionPage::Refill()
{
    auto* wizard = CAddFileWizard::SourceChangedSince(GetSheet(), m_filledGeneration);
    if (!wizard)
        return;
    m_strBrief.clear();
    m_strDetailed.clear();
    if (wizard->IsSubmissionUsed()) {
        m_strBrief = wizard->GetSubmission().GetValue(QStringLiteral("ShortDescription"));
        m_strDetailed = wizard->GetSubmission().GetBody();
    } else if (wizard->GetSourceKind() == CAddFileWizard::kLocalFile) {
        ExtractDescriptions(wizard->GetSourceText(), m_strBrief, kBriefBufferSize, m_strDetailed,
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
    m_strDetailed += WithLineFeeds(QString::fromUtf8(ReadTextFile(path)));
    UpdateData(false);
}

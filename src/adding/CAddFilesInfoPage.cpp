#include "adding/CAddFilesInfoPage.h"

#include "adding/AddFilesImport.h"
#include "adding/BrowseForDirectory.h"
#include "adding/CAddFilesWizard.h"
#include "adding/PathUtils.h"
#include "controls/CMessageBox.h"
#include "controls/CWaitCursor.h"
#include "controls/FieldLimit.h"
#include "properties/PageControls.h"
#include "startup/CFileAreaTable.h"
#include "startup/Globals.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CAddFilesInfoPage::CAddFilesInfoPage(QWidget* parent)
    : CWizardPage(kTemplateId, tr("Add Multiple Files"), parent)
{
    SetHelpTopic(kHelpTopic);
    m_directory = new QLineEdit(this);
    LimitFieldLength(m_directory, kMaxDirectory);
    m_browse = new QPushButton(tr("&Browse..."), this);
    NameAfterText(m_browse, m_browse->text());
    m_hostArea = new QComboBox(this);
    m_subdirectories = new QCheckBox(tr("Include &subdirectories"), this);
    m_extract = new QCheckBox(tr("E&xtract file descriptions (desc.sdi, file_id.diz)"), this);
    NameAfterText(m_subdirectories, m_subdirectories->text());
    NameAfterText(m_extract, m_extract->text());
    connect(m_browse, &QPushButton::clicked, this, &CAddFilesInfoPage::OnBrowse);

    auto* directoryLabel = new QLabel(tr("Select the &directory containing files to add:"), this);
    directoryLabel->setBuddy(m_directory);
    NameAfterText(directoryLabel, directoryLabel->text());
    NameAfterText(m_directory, directoryLabel->text());
    auto* areaLabel = new QLabel(tr("Select the &area that will host these files:"), this);
    areaLabel->setBuddy(m_hostArea);
    NameAfterText(areaLabel, areaLabel->text());
    NameAfterText(m_hostArea, areaLabel->text());
    auto* options = new QGroupBox(tr("Options"), this);
    NameAfterText(options, options->title());
    auto* optionsLayout = new QVBoxLayout(options);
    optionsLayout->addWidget(m_subdirectories);
    optionsLayout->addWidget(m_extract);

    auto* layout = new QGridLayout(this);
    layout->addWidget(directoryLabel, 0, 0, 1, 2);
    layout->addWidget(m_directory, 1, 0);
    layout->addWidget(m_browse, 1, 1);
    layout->addWidget(areaLabel, 2, 0, 1, 2);
    layout->addWidget(m_hostArea, 3, 0, 1, 2);
    layout->addWidget(options, 4, 0, 1, 2);
    layout->setRowStretch(5, 1);
    layout->setColumnStretch(0, 1);

    FillHostAreaList(m_hostArea);
}

bool CAddFilesInfoPage::OnSetActive()
{
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(CPropertySheet::kBack | CPropertySheet::kNext);
    return CWizardPage::OnSetActive();
}

void CAddFilesInfoPage::OnBrowse()
{
    QString path = SafeStrCopy(m_directory->text(), kMaxPathBuffer);
    if (BrowseForDirectory(this, path, tr("Select Directory")))
        FillLimitedField(m_directory, path);
}

int CAddFilesInfoPage::OnWizardNext()
{
    auto* wizard = qobject_cast<CAddFilesWizard*>(GetSheet());
    if (!wizard)
        return -1;
    wizard->GetFileList().clear();
    const QVariant data = m_hostArea->currentData();
    const quint32 record = data.isValid() ? data.toUInt() : 0;
    const FileAreaRecord* area = record > 0 && record < theFileAreaTable.GetRecordCount()
                                     ? theFileAreaTable.GetRecord(record)
                                     : nullptr;
    if (!area) {
        CMessageBox::Show(this, tr("You must select a file area to host these files."));
        return -1;
    }
    wizard->SetHost({area->AreaId(), area->Name(), area->Path()});
    wizard->SetExtractDescriptions(m_extract->isChecked());
    bool collected = false;
    {
        CWaitCursor wait;
        collected = CollectFiles(m_directory->text(), wizard->GetFileList(), m_subdirectories->isChecked());
    }
    if (!collected) {
        CMessageBox::Show(this, tr("Please enter a valid directory name."));
        return -1;
    }
    if (wizard->GetFileList().isEmpty()) {
        CMessageBox::Show(this, tr("There were no files found to add in that directory."));
        return -1;
    }
    return CWizardPage::OnWizardNext();
}

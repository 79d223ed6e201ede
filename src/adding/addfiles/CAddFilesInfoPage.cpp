#include "adding/addfiles/CAddFilesInfoPage.h"

#include "adding/addfiles/AddFilesChoice.h"
#include "adding/addfiles/BrowseForDirectory.h"
#include "adding/addfiles/FileCollection.h"
#include "controls/CMessageBox.h"
#include "controls/CPropertySheet.h"
#include "controls/FieldLimit.h"
#include "controls/PageControls.h"
#include "controls/RunWithProgress.h"
#include "files/PathUtils.h"
#include "files/SafeFormat.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CAddFilesInfoPage::CAddFilesInfoPage(AddFilesChoice* choice, QWidget* parent)
    : CWizardPage(kTemplateId, tr("Add Multiple Files"), parent), m_choice(choice)
{
    SetHelpTopic(kHelpTopic);
    m_directory = new QLineEdit(this);
    LimitFieldLength(m_directory, kMaxDirectory);
    m_browse = new QPushButton(tr("B&rowse..."), this);
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

std::function<void(CWorkProgress&, const QString&)>& CAddFilesInfoPage::CollectionHook()
{
    static std::function<void(CWorkProgress&, const QString&)> hook;
    return hook;
}

int CAddFilesInfoPage::OnWizardNext()
{
    if (!m_choice)
        return -1;
    m_choice->files.clear();
    m_choice->collectionRefusals.clear();
    const QVariant data = m_hostArea->currentData();
    const quint32 record = data.isValid() ? data.toUInt() : 0;
    const FileAreaRecord* area = record > 0 && record < theFileAreaTable.GetRecordCount()
                                     ? theFileAreaTable.GetRecord(record)
                                     : nullptr;
    if (!area) {
        CMessageBox::Show(this, tr("You must select a file area to host these files."));
        return -1;
    }
    m_choice->SetHost({area->AreaId(), area->Name(), area->Path()});
    m_choice->extractDescriptions = m_extract->isChecked();
    // A big tree takes a while to walk: the window keeps answering and Cancel stops the walk.
    const QString directory = m_directory->text();
    const bool subdirectories = m_subdirectories->isChecked();
    CollectedFiles found;
    bool collected = false;
    const bool finished =
        RunWithProgress(this, tr("Add Multiple Files"), tr("Looking for files to add..."), [&](CWorkProgress& progress) {
            collected = CollectFiles(directory, subdirectories, found, [&](const QString& path) {
                progress.SetText(ElideStoredText(path));
                if (CollectionHook())
                    CollectionHook()(progress, path);
                return !progress.Cancelled();
            });
        });
    if (!finished)
        return -1;
    m_choice->files = found.files;
    m_choice->collectionRefusals = found.refusals;
    if (!collected) {
        CMessageBox::Show(this, NoValidDirectoryMessage());
        return -1;
    }
    // What was found but refused goes on to the results, which say why.
    if (found.files.isEmpty() && found.refusals.isEmpty()) {
        CMessageBox::Show(this, NoFilesFoundMessage());
        return -1;
    }
    return CWizardPage::OnWizardNext();
}

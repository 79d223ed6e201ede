#include "adding/addfile/CAddFileFirstPage.h"

#include "adding/addfile/CNewFileSource.h"
#include "controls/CFileChooser.h"
#include "controls/CPropertySheet.h"
#include "controls/FieldLimit.h"
#include "controls/PageControls.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

CAddFileFirstPage::CAddFileFirstPage(CNewFileSource* source, QWidget* parent)
    : CWizardPage(kTemplateId, QString(), parent), m_source(source)
{
    SetHelpTopic(kHelpTopic);
    auto* text = new QLabel(tr("Choose whether this new file is a Web file or a local file."), this);
    text->setWordWrap(true);
    NameAfterText(text, text->text());
    m_web = new QRadioButton(tr("&Web file"), this);
    m_local = new QRadioButton(tr("&Local file"), this);
    m_url = new QLineEdit(this);
    m_name = new QLineEdit(this);
    LimitFieldLength(m_name, kMaxFileName);
    m_browse = new QPushButton(tr("B&rowse..."), this);
    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(m_web), static_cast<QAbstractButton*>(m_local),
          static_cast<QAbstractButton*>(m_browse)})
        NameAfterText(button, button->text());
    connect(m_web, &QRadioButton::clicked, this, &CAddFileFirstPage::EnableControls);
    connect(m_local, &QRadioButton::clicked, this, &CAddFileFirstPage::EnableControls);
    connect(m_browse, &QPushButton::clicked, this, &CAddFileFirstPage::OnBrowse);

    auto* layout = new QGridLayout(this);
    layout->addWidget(text, 0, 0, 1, 3);
    layout->setRowMinimumHeight(1, 12);
    layout->addWidget(m_web, 2, 0, 1, 3);
    auto* urlLabel = new QLabel(tr("&URL:      (Include http:// or ftp://)"), this);
    urlLabel->setBuddy(m_url);
    NameAfterText(urlLabel, urlLabel->text());
    NameAfterText(m_url, urlLabel->text());
    layout->addWidget(urlLabel, 3, 0);
    layout->addWidget(m_url, 3, 1, 1, 2);
    layout->setRowMinimumHeight(4, 12);
    layout->addWidget(m_local, 5, 0, 1, 3);
    AddLabeledRow(layout, 6, tr("N&ame:"), m_name);
    layout->addWidget(m_browse, 6, 2);
    layout->setRowStretch(7, 1);
    layout->setColumnStretch(1, 1);

    m_web->setChecked(true);
    m_local->setEnabled(!theFileAreaTable.RecordsWithFlag(kAreaHostsLocalFiles).isEmpty());
    EnableControls();
}

void CAddFileFirstPage::EnableControls()
{
    const bool web = m_web->isChecked();
    m_url->setEnabled(web);
    m_name->setEnabled(!web);
    m_browse->setEnabled(!web);
}

bool CAddFileFirstPage::OnSetActive()
{
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(CPropertySheet::kNext);
    return CWizardPage::OnSetActive();
}

void CAddFileFirstPage::OnBrowse()
{
    const QString chosen =
        CFileChooser::GetOpenFileName(this, tr("Open"), m_name->text(), tr("All Files (*)"));
    if (!chosen.isEmpty())
        FillLimitedField(m_name, chosen);
}

int CAddFileFirstPage::OnWizardNext()
{
    if (m_source) {
        m_source->Choose(false);
        if (m_web->isChecked())
            m_source->SetFile(CNewFileSource::kWebFile, m_url->text());
        else
            m_source->SetFile(CNewFileSource::kLocalFile, m_name->text());
    }
    return CWizardPage::OnWizardNext();
}

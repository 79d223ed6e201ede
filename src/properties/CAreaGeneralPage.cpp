#include "properties/CAreaGeneralPage.h"

#include "controls/PageControls.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

QCheckBox* DisabledBox(QWidget* parent, const QString& text, bool checked)
{
    auto* box = new QCheckBox(text, parent);
    box->setChecked(checked);
    box->setEnabled(false);
    NameAfterText(box, text);
    return box;
}

} // namespace

CAreaGeneralPage::CAreaGeneralPage(quint32 areaId, QWidget* parent)
    : CWizardPage(kTemplateId, tr("General"), parent)
{
    SetHelpTopic(kHelpTopic);
    const FileAreaRecord* area = theFileAreaTable.FindArea(areaId);
    m_name = MakeValueField(this, area ? area->Name() : QString());
    m_path = MakeValueField(this, area ? area->Path() : QString());
    m_ftpAlias = MakeValueField(this, area ? area->FtpAlias() : QString());
    m_httpAlias = MakeValueField(this, area ? area->HttpAlias() : QString());

    auto* layout = new QVBoxLayout(this);
    auto* fields = new QGridLayout;
    AddLabeledRow(fields, 0, tr("File Area Name:"), m_name);
    AddLabeledRow(fields, 1, tr("File Area Path:"), m_path);
    AddLabeledRow(fields, 2, tr("FTP Alias:"), m_ftpAlias);
    AddLabeledRow(fields, 3, tr("HTTP Alias"), m_httpAlias);
    fields->setColumnStretch(1, 1);
    layout->addLayout(fields);

    auto* security = new QGroupBox(tr("Security"), this);
    m_uploads = DisabledBox(security, tr("Allow File Uploads"), area && area->HasFlag(kAreaAllowUploads));
    m_downloads =
        DisabledBox(security, tr("Allow File Downloads"), area && area->HasFlag(kAreaAllowDownloads));
    auto* boxes = new QVBoxLayout(security);
    boxes->addWidget(m_uploads);
    boxes->addWidget(m_downloads);
    layout->addWidget(security);
    layout->addStretch(1);
}

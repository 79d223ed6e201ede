#include "properties/CFileGeneralPage.h"

#include "adding/download/EmailField.h"
#include "controls/CDateEdit.h"
#include "controls/CMessageBox.h"
#include "controls/PageControls.h"
#include "database/CFileRecord.h"
#include "files/SafeFormat.h"
#include "properties/FileProperties.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace {

constexpr qsizetype kMaxShownValue = 1024;
static_assert(kMaxShownValue > kMaxAuthorField && kMaxShownValue > CFileRecord::kTitleLength &&
                  kMaxShownValue > CFileRecord::kVersionLength,
              "a shortened value must still be refused as too long");

// A text field that takes at most `limit` characters as typed, yet shows a longer stored value,
// so that the check on leaving says so instead of the field cutting it silently. A value of
// megabytes, which would take the field minutes to lay out, is shown shortened in the middle: still
// over the limit, it cannot be stored until the user has edited it.
void SetLimitedText(QLineEdit* field, const QString& text, int limit)
{
    const QString shown = text.size() > kMaxShownValue ? ElideStoredText(text, kMaxShownValue) : text;
    field->setMaxLength(qMax(limit, int(shown.size())));
    field->setText(shown);
}

} // namespace

CFileGeneralPage::CFileGeneralPage(CFileRecord* file, QWidget* parent)
    : CWizardPage(kTemplateId, tr("General"), parent), m_file(file)
{
    SetHelpTopic(kHelpTopic);

    m_title = new QLineEdit(this);
    m_title->setMaxLength(CFileRecord::kTitleLength);
    m_version = new QLineEdit(this);
    m_version->setMaxLength(CFileRecord::kVersionLength);
    m_fileDate = new CDateEdit(this);
    m_lastDownload = new CDateEdit(this);
    m_fileSize = new QLineEdit(this);
    m_downloads = new QLineEdit(this);
    // The text stands left of the box, in line with the labels of the other fields.
    m_requiresForm = new QCheckBox(tr("&Requires Form:"), this);
    m_requiresForm->setLayoutDirection(Qt::RightToLeft);
    NameAfterText(m_requiresForm, m_requiresForm->text());
    m_name = new QLineEdit(this);
    m_name->setMaxLength(kMaxAuthorField);
    m_email = new QLineEdit(this);
    m_email->setMaxLength(kMaxAuthorField);

    auto* layout = new QGridLayout(this);
    AddLabeledRow(layout, 0, tr("File &Title:"), m_title);
    AddLabeledRow(layout, 1, tr("&Version:"), m_version);
    AddLabeledRow(layout, 2, tr("File &Date:"), m_fileDate);
    AddLabeledRow(layout, 3, tr("&Last Download:"), m_lastDownload);
    // The size field is followed by its unit, so it gets a row of its own.
    auto* sizeRow = new QHBoxLayout;
    auto* sizeLabel = new QLabel(tr("File &Size:"), this);
    sizeLabel->setBuddy(m_fileSize);
    NameAfterText(sizeLabel, sizeLabel->text());
    NameAfterText(m_fileSize, sizeLabel->text());
    auto* bytes = new QLabel(tr("Bytes"), this);
    sizeRow->addWidget(m_fileSize, 1);
    sizeRow->addWidget(bytes);
    layout->addWidget(sizeLabel, 4, 0);
    layout->addLayout(sizeRow, 4, 1);
    AddLabeledRow(layout, 5, tr("Do&wnloads:"), m_downloads);
    layout->addWidget(m_requiresForm, 6, 0, Qt::AlignLeft);
    AddLabeledRow(layout, 7, tr("Author's &Name:"), m_name);
    AddLabeledRow(layout, 8, tr("&Email Address:"), m_email);
    layout->setRowStretch(9, 1);
    layout->setColumnStretch(1, 1);
}

bool CFileGeneralPage::OnSetActive()
{
    if (!m_loaded) {
        LoadFields();
        m_loaded = true;
    }
    return CWizardPage::OnSetActive();
}

void CFileGeneralPage::LoadFields()
{
    SetLimitedText(m_title, m_file->title, CFileRecord::kTitleLength);
    SetLimitedText(m_version, m_file->version, CFileRecord::kVersionLength);
    m_fileDate->SetTime(m_file->file_date);
    m_lastDownload->SetTime(m_file->last_download);
    m_fileSize->setText(FormatNumberField(m_file->file_size));
    m_downloads->setText(FormatNumberField(m_file->downloads));
    m_requiresForm->setChecked(m_file->requires_form != 0);
    SetLimitedText(m_name, m_file->upld_name, kMaxAuthorField);
    m_strEmail = m_file->upld_email;
    SetLimitedText(m_email, m_strEmail, kMaxAuthorField);
}

void CFileGeneralPage::Refuse(QWidget* field, const QString& message)
{
    CMessageBox::Show(this, message, QString(), QMessageBox::Warning);
    field->setFocus(Qt::OtherFocusReason);
}

bool CFileGeneralPage::TakeFields()
{
    const GeneralFields fields{m_title->text(),     m_version->text(), m_fileSize->text(),
                               m_downloads->text(), m_name->text(),    m_email->text()};
    const QString notANumber = tr("Please enter a number.");
    auto tooLong = [](int limit) { return SafeFormat(u"Enter no more than %d characters.", limit); };
    switch (FindGeneralFault(fields)) {
    case GeneralFault::None:
        break;
    case GeneralFault::NameTooLong:
        Refuse(m_name, tooLong(kMaxAuthorField));
        return false;
    case GeneralFault::EmailTooLong:
        Refuse(m_email, tooLong(kMaxAuthorField));
        return false;
    case GeneralFault::SizeNotNumber:
        Refuse(m_fileSize, notANumber);
        return false;
    case GeneralFault::TitleTooLong:
        Refuse(m_title, tooLong(CFileRecord::kTitleLength));
        return false;
    case GeneralFault::VersionTooLong:
        Refuse(m_version, tooLong(CFileRecord::kVersionLength));
        return false;
    case GeneralFault::DownloadsNotNumber:
        Refuse(m_downloads, notANumber);
        return false;
    }
    if (!m_requiresForm->isChecked()) {
        m_strEmail = fields.email;
        return true;
    }
    // Visitors must fill in a form that mails the author: the address must be usable.
    if (!ExchangeEmailField(m_email, m_strEmail, true))
        return false;
    if (m_strEmail.isEmpty()) {
        CMessageBox::Show(this, tr("Invalid e-mail address."), QString(), QMessageBox::Critical);
        m_email->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

bool CFileGeneralPage::OnKillActive()
{
    return !m_loaded || TakeFields();
}

void CFileGeneralPage::OnOK()
{
    if (!m_loaded)
        return;
    m_file->title = m_title->text();
    m_file->version = m_version->text();
    m_file->file_date = m_fileDate->GetTime();
    m_file->last_download = m_lastDownload->GetTime();
    m_file->file_size = ParseNumberField(m_fileSize->text()).value_or(m_file->file_size);
    m_file->downloads = ParseNumberField(m_downloads->text()).value_or(m_file->downloads);
    m_file->requires_form = m_requiresForm->isChecked() ? 1 : 0;
    m_file->upld_name = m_name->text();
    m_file->upld_email = m_strEmail;
}

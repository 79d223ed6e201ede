#include "adding/addfile/CAddFileDetailsPage.h"

#include "adding/addfile/AddFileSource.h"
#include "adding/addfile/CAddFileWizard.h"
#include "adding/download/EmailField.h"
#include "controls/CDateEdit.h"
#include "controls/CMessageBox.h"
#include "controls/PageControls.h"
#include "database/CFileRecord.h"
#include "files/PathUtils.h"
#include "files/SafeFormat.h"

#include <QCheckBox>
#include <QDate>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include <limits>

CAddFileDetailsPage::CAddFileDetailsPage(QWidget* parent) : CWizardPage(kTemplateId, QString(), parent)
{
    SetHelpTopic(kHelpTopic);
    auto* text = new QLabel(tr("Please enter the version number, date, size, author's name and email address "
                               "and, optionally, a password for the selected file."),
                            this);
    text->setWordWrap(true);
    NameAfterText(text, text->text());
    m_version = new QLineEdit(this);
    m_version->setMaxLength(CFileRecord::kVersionLength);
    m_date = new CDateEdit(this);
    const QDate today = QDate::currentDate();
    m_date->SetDate(today.year(), today.month(), today.day());
    m_size = new QLineEdit(this);
    // Digits only, as many as a 32-bit size can have.
    m_size->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,10}")), m_size));
    // The text stands left of the box, in line with the labels of the other fields.
    m_requiresForm = new QCheckBox(tr("&Requires Form:"), this);
    m_requiresForm->setLayoutDirection(Qt::RightToLeft);
    NameAfterText(m_requiresForm, m_requiresForm->text());
    m_name = new QLineEdit(this);
    m_name->setMaxLength(kMaxAuthorField);
    m_email = new QLineEdit(this);
    m_email->setMaxLength(kMaxAuthorField);

    auto* layout = new QGridLayout(this);
    layout->addWidget(text, 0, 0, 1, 2);
    AddLabeledRow(layout, 1, tr("File &Version:"), m_version);
    AddLabeledRow(layout, 2, tr("File &Date:"), m_date);
    // The size field is followed by its unit.
    auto* sizeLabel = new QLabel(tr("File &Size:"), this);
    sizeLabel->setBuddy(m_size);
    NameAfterText(sizeLabel, sizeLabel->text());
    NameAfterText(m_size, sizeLabel->text());
    auto* bytes = new QLabel(tr("Bytes"), this);
    NameAfterText(bytes, bytes->text());
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(m_size, 1);
    sizeRow->addWidget(bytes);
    layout->addWidget(sizeLabel, 3, 0);
    layout->addLayout(sizeRow, 3, 1);
    layout->addWidget(m_requiresForm, 4, 0, Qt::AlignLeft);
    AddLabeledRow(layout, 5, tr("Author's &Name:"), m_name);
    AddLabeledRow(layout, 6, tr("&Email Address:"), m_email);
    layout->setRowStretch(7, 1);
    layout->setColumnStretch(1, 1);
    UpdateData(false);
}

void CAddFileDetailsPage::UpdateData(bool take)
{
    if (take) {
        m_strVersion = m_version->text();
        TrimString(m_strVersion);
        m_dwSize = ReadByteCount(m_size->text()).value_or(0); // Next refuses what is no size
        m_bRequiresForm = m_requiresForm->isChecked();
        m_strName = m_name->text();
        TrimString(m_strName);
        m_strEmail = m_email->text().left(kMaxEmailAddress);
        TrimString(m_strEmail);
        return;
    }
    m_version->setText(m_strVersion);
    m_size->setText(QString::number(m_dwSize));
    m_requiresForm->setChecked(m_bRequiresForm);
    m_name->setText(m_strName);
    m_email->setText(m_strEmail);
}

void CAddFileDetailsPage::Refill()
{
    auto* wizard = CAddFileWizard::SourceChangedSince(GetSheet(), m_filledGeneration);
    if (!wizard)
        return;
    m_strVersion.clear();
    m_strName.clear();
    m_strEmail.clear();
    m_dwSize = 0;
    // The form setting changes only by a submission, the date only by a valid date or a local file
    // that is found: otherwise both keep what they show.
    m_bRequiresForm = m_requiresForm->isChecked();
    if (wizard->IsSubmissionUsed()) {
        const CClipboardSubmission& submission = wizard->GetSubmission();
        if (const auto date = ReadSubmissionDate(submission.GetValue(QStringLiteral("Date"))))
            m_date->SetDate(date->year, date->month, date->day);
        m_strVersion = submission.GetValue(QStringLiteral("Version"));
        m_bRequiresForm = ReadRequiresForm(submission.GetValue(QStringLiteral("ReqForm")));
        m_strName = submission.GetValue(QStringLiteral("Company"));
        m_strEmail = submission.GetValue(QStringLiteral("Email"));
        m_dwSize = ReadByteCount(submission.GetValue(QStringLiteral("Size"))).value_or(0);
    } else if (wizard->GetSourceKind() == CAddFileWizard::kLocalFile) {
        if (const auto facts = ReadLocalFileFacts(wizard->GetSourceText())) {
            m_date->SetDate(facts->date.year, facts->date.month, facts->date.day);
            m_dwSize = facts->size;
        }
    }
    UpdateData(false);
}

bool CAddFileDetailsPage::OnSetActive()
{
    if (CPropertySheet* sheet = GetSheet())
        sheet->SetWizardButtons(CPropertySheet::kBack | CPropertySheet::kNext);
    Refill();
    return CWizardPage::OnSetActive();
}

bool CAddFileDetailsPage::OnKillActive()
{
    UpdateData(true);
    return true;
}

int CAddFileDetailsPage::OnWizardNext()
{
    UpdateData(true);
    if (!ReadByteCount(m_size->text())) {
        CMessageBox::Show(this, SafeFormat(u"Please enter a whole number of bytes from 0 to %u.",
                                           std::numeric_limits<quint32>::max()),
                          QString(), QMessageBox::Warning);
        m_size->setFocus(Qt::OtherFocusReason);
        return -1;
    }
    if (!CheckEmailAddress(m_strEmail, this)) {
        m_email->setFocus(Qt::OtherFocusReason);
        return -1;
    }
    if (m_strEmail.isEmpty()) {
        CMessageBox::Show(this, tr("Invalid e-mail address."), QString(), QMessageBox::Critical);
        m_email->setFocus(Qt::OtherFocusReason);
        return -1;
    }
    return CWizardPage::OnWizardNext();
}

#include "adding/addfile/CAddFileDetailsPage.h"

#include "adding/addfile/AddFileSource.h"
#include "adding/addfile/CNewFileSource.h"
#include "adding/download/EmailField.h"
#include "controls/CDateEdit.h"
#include "controls/CMessageBox.h"
#include "controls/CPropertySheet.h"
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

CAddFileDetailsPage::CAddFileDetailsPage(const CNewFileSource& source, NewFileEntries& entries,
                                         QWidget* parent)
    : CWizardPage(kTemplateId, QString(), parent), m_source(source), m_entries(entries)
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
    AddLabeledRow(layout, 5, tr("Author's Na&me:"), m_name);
    AddLabeledRow(layout, 6, tr("&Email Address:"), m_email);
    layout->setRowStretch(7, 1);
    layout->setColumnStretch(1, 1);
    UpdateData(false);
}

void CAddFileDetailsPage::UpdateData(bool take)
{
    if (take) {
        m_entries.version = m_version->text();
        TrimString(m_entries.version);
        m_entries.fileDate = m_date->GetTime();
        m_entries.fileSize = ReadByteCount(m_size->text()).value_or(0); // Next refuses what is no size
        m_entries.requiresForm = m_requiresForm->isChecked();
        m_entries.authorName = m_name->text();
        TrimString(m_entries.authorName);
        m_entries.email = m_email->text().left(kMaxEmailAddress);
        TrimString(m_entries.email);
        return;
    }
    m_version->setText(m_entries.version);
    m_size->setText(QString::number(m_entries.fileSize));
    m_requiresForm->setChecked(m_entries.requiresForm);
    m_name->setText(m_entries.authorName);
    m_email->setText(m_entries.email);
}

void CAddFileDetailsPage::Refill()
{
    if (!m_source.ChangedSince(m_filledGeneration))
        return;
    m_entries.version.clear();
    m_entries.authorName.clear();
    m_entries.email.clear();
    m_entries.fileSize = 0;
    // The form setting changes only by a submission, the date only by a valid date or a local file
    // that is found: otherwise both keep what they show.
    m_entries.requiresForm = m_requiresForm->isChecked();
    if (m_source.IsSubmissionUsed()) {
        const CClipboardSubmission& submission = m_source.GetSubmission();
        if (const auto date = ReadSubmissionDate(submission.GetValue(QStringLiteral("Date"))))
            m_date->SetDate(date->year, date->month, date->day);
        m_entries.version = submission.GetValue(QStringLiteral("Version"));
        m_entries.requiresForm = ReadRequiresForm(submission.GetValue(QStringLiteral("ReqForm")));
        m_entries.authorName = submission.GetValue(QStringLiteral("Company"));
        m_entries.email = submission.GetValue(QStringLiteral("Email"));
        m_entries.fileSize = ReadByteCount(submission.GetValue(QStringLiteral("Size"))).value_or(0);
    } else if (m_source.GetKind() == CNewFileSource::kLocalFile) {
        if (const auto facts = ReadLocalFileFacts(m_source.GetText())) {
            m_date->SetDate(facts->date.year, facts->date.month, facts->date.day);
            m_entries.fileSize = facts->size;
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
    if (!CheckEmailAddress(m_entries.email, this)) {
        m_email->setFocus(Qt::OtherFocusReason);
        return -1;
    }
    if (m_entries.email.isEmpty()) {
        CMessageBox::Show(this, tr("Invalid e-mail address."), QString(), QMessageBox::Critical);
        m_email->setFocus(Qt::OtherFocusReason);
        return -1;
    }
    return CWizardPage::OnWizardNext();
}

#include "properties/CFileDescriptionPage.h"

#include "controls/CFileChooser.h"
#include "controls/CMessageBox.h"
#include "controls/PageControls.h"
#include "database/CFileRecord.h"
#include "files/DescriptionText.h"
#include "files/SafeFormat.h"
#include "properties/FileProperties.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

CFileDescriptionPage::CFileDescriptionPage(CFileRecord* file, QWidget* parent)
    : CWizardPage(kTemplateId, tr("Description"), parent), m_file(file)
{
    SetHelpTopic(kHelpTopic);

    const DescriptionControls controls = BuildDescriptionControls(this, tr("&Brief description:"));
    m_brief = controls.brief;
    m_detailed = controls.detailed;
    m_browse = controls.browse;
    connect(m_browse, &QPushButton::clicked, this, &CFileDescriptionPage::OnBrowse);
}

bool CFileDescriptionPage::OnSetActive()
{
    if (!m_loaded) {
        // A text field would make two lines of a CR LF, so the text is shown with line feeds; it is
        // written back only when changed.
        m_detailed->setPlainText(WithLineFeeds(m_file->long_desc));
        m_detailed->document()->setModified(false);
        m_brief->setMaxLength(qMax(CFileRecord::kShortDescLength, int(m_file->short_desc.size())));
        m_brief->setText(m_file->short_desc);
        m_loaded = true;
    }
    return CWizardPage::OnSetActive();
}

QString CFileDescriptionPage::GetDetailedText() const
{
    // The raw text keeps what a plain-text export would change (non-breaking spaces).
    QString text = m_detailed->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    return text;
}

bool CFileDescriptionPage::TakeFields()
{
    QWidget* field = nullptr;
    int limit = 0;
    switch (FindDescriptionFault(GetDetailedText(), m_brief->text())) {
    case DescriptionFault::None:
        return true;
    case DescriptionFault::DetailedTooLong:
        field = m_detailed;
        limit = CFileRecord::kLongDescLength;
        break;
    case DescriptionFault::BriefTooLong:
        field = m_brief;
        limit = CFileRecord::kShortDescLength;
        break;
    }
    CMessageBox::Show(this, SafeFormat(u"Enter no more than %d characters.", limit), QString(),
                      QMessageBox::Warning);
    field->setFocus(Qt::OtherFocusReason);
    return false;
}

bool CFileDescriptionPage::OnKillActive()
{
    return !m_loaded || TakeFields();
}

void CFileDescriptionPage::OnOK()
{
    if (!m_loaded)
        return;
    if (m_detailed->document()->isModified())
        m_file->long_desc = GetDetailedText();
    m_file->short_desc = m_brief->text();
}

void CFileDescriptionPage::OnBrowse()
{
    if (!TakeFields())
        return;
    const QString path = ChooseDescriptionImport(this);
    if (path.isEmpty())
        return;
    const QString text = ReadDescriptionImport(path);
    if (text.isEmpty())
        return;
    // At the very end, with nothing in between: the user decides how the texts meet.
    QTextCursor cursor(m_detailed->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    m_detailed->setTextCursor(cursor);
}

#include "reviews/CEditReviewDialog.h"

#include "controls/CMessageBox.h"
#include "controls/ContextHelp.h"
#include "controls/PageControls.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextDocument>
#include <QVBoxLayout>

CEditReviewDialog::CEditReviewDialog(CReview& review, QWidget* parent)
    : CEditReviewDialog(review, AnonymousPlace::AfterEmail, parent)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    for (QAbstractButton* button : buttons->buttons())
        button->setAccessibleName(WithoutMnemonic(button->text()));
    connect(buttons, &QDialogButtonBox::accepted, this, &CEditReviewDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(buttons);
    AddButtons(row, buttons->button(QDialogButtonBox::Ok));
}

CEditReviewDialog::CEditReviewDialog(CReview& review, AnonymousPlace place, QWidget* parent)
    : QDialog(parent), m_review(review)
{
    setWindowTitle(tr("Edit Review"));
    setAccessibleName(windowTitle());

    m_name = new QLineEdit(this);
    m_email = new QLineEdit(this);
    m_anonymous = new QCheckBox(tr("&Anonymous"), this);
    m_anonymous->setAccessibleName(WithoutMnemonic(m_anonymous->text()));
    m_date = new QLineEdit(this);
    m_text = new QPlainTextEdit(this);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Enter starts a new line; Tab moves on, since a line beginning with a Tab would end the review
    // in the file.
    m_text->setTabChangesFocus(true);
    m_text->setMinimumSize(fontMetrics().averageCharWidth() * 60, fontMetrics().lineSpacing() * 10);

    auto* form = new QFormLayout;
    const auto addField = [&](const QString& label, QWidget* field) {
        auto* caption = new QLabel(label, this);
        caption->setBuddy(field);
        caption->setAccessibleName(WithoutMnemonic(label));
        field->setAccessibleName(caption->accessibleName());
        form->addRow(caption, field);
    };
    addField(tr("&Name:"), m_name);
    addField(tr("&Email:"), m_email);
    if (place == AnonymousPlace::AfterEmail)
        form->addRow(QString(), m_anonymous);
    addField(tr("&Date:"), m_date);
    if (place == AnonymousPlace::AfterDate)
        form->addRow(QString(), m_anonymous);
    addField(tr("&Review:"), m_text);
    connect(new QShortcut(QKeySequence::HelpContents, this), &QShortcut::activated, this,
            [this] { ShowContextHelp(this, nullptr, kHelpTopic, nullptr, true); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    QList<QWidget*> order{m_name, m_email, m_date, m_text};
    order.insert(place == AnonymousPlace::AfterEmail ? 2 : 3, m_anonymous);
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    m_name->setText(m_review.name);
    m_email->setText(m_review.email);
    m_anonymous->setChecked(m_review.anonymous);
    m_date->setText(m_review.date);
    ShowTextInField(*m_text, m_review.text);
    m_name->setFocus(Qt::OtherFocusReason);
}

void CEditReviewDialog::AddButtons(QLayout* buttons, QPushButton* ok)
{
    static_cast<QVBoxLayout*>(layout())->addLayout(buttons);
    m_ok = ok;
    m_ok->setDefault(true);
}

QString CEditReviewDialog::TextFromField(const QPlainTextEdit& field)
{
    // The raw text, unlike toPlainText(), keeps non-breaking spaces as they were typed.
    QString text = field.document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

void CEditReviewDialog::ShowTextInField(QPlainTextEdit& field, const QString& text)
{
    // The field takes a CR as a line break of its own: a CR LF pair must become one break.
    field.setPlainText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

bool CEditReviewDialog::TakeFields()
{
    m_review.name = m_name->text();
    m_review.email = m_email->text();
    m_review.date = m_date->text();
    m_review.text = TextFromField(*m_text);
    // Only an empty field is missing: one of spaces is what the administrator typed.
    const struct
    {
        const QString& value;
        QWidget* field;
        const char* message;
    } required[] = {
        {m_review.name, m_name, QT_TR_NOOP("Name field is required.")},
        {m_review.email, m_email, QT_TR_NOOP("Email field is required.")},
        {m_review.date, m_date, QT_TR_NOOP("Date field is required.")},
        {m_review.text, m_text, QT_TR_NOOP("Review field is required.")},
    };
    for (const auto& check : required) {
        if (check.value.isEmpty()) {
            CMessageBox::Show(this, tr(check.message), tr("Error"), QMessageBox::NoIcon, QMessageBox::Ok);
            check.field->setFocus(Qt::OtherFocusReason);
            return false;
        }
    }
    m_review.anonymous = m_anonymous->isChecked();
    return true;
}

void CEditReviewDialog::accept()
{
    if (TakeFields())
        QDialog::accept();
}

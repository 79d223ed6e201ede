#include "controls/FieldLimit.h"

#include "controls/CMessageBox.h"
#include "files/SafeFormat.h"

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QValidator>

namespace {

// Refuses every edit that makes the text longer than the limit; the line edit then undoes it whole
// instead of keeping the part that fits, as its maximum length would.
class CLengthValidator : public QValidator
{
public:
    CLengthValidator(QLineEdit* field, int limit) : QValidator(field), m_field(field), m_limit(limit) {}

    int Limit() const { return m_limit; }

    State validate(QString& input, int&) const override
    {
        if (input.size() <= m_limit)
            return Acceptable;
        // The field undoes a refused edit of the user's but keeps a text the program set: which of
        // the two happened shows once the change is over.
        QMetaObject::invokeMethod(
            m_field,
            [field = m_field, limit = m_limit, refused = input] {
                if (!field || field->text() == refused)
                    return;
                if (refused.size() - field->text().size() <= 1) {
                    QApplication::beep(); // typing at the limit, as a field with a maximum length does
                    return;
                }
                CMessageBox::Show(field,
                                  SafeFormat(u"The text is too long for this field, which holds at most %d "
                                             u"characters. It was not inserted.",
                                             limit),
                                  QString(), QMessageBox::Warning);
            },
            Qt::QueuedConnection);
        return Invalid;
    }

private:
    QPointer<QLineEdit> m_field;
    int m_limit;
};

} // namespace

void LimitFieldLength(QLineEdit* field, int limit)
{
    field->setValidator(new CLengthValidator(field, limit));
}

bool FillLimitedField(QLineEdit* field, const QString& text)
{
    const auto* validator = dynamic_cast<const CLengthValidator*>(field->validator());
    if (validator && text.size() > validator->Limit()) {
        CMessageBox::Show(field,
                          SafeFormat(u"%s is too long for this field, which holds at most %d characters. It "
                                     u"was not used.",
                                     ElideStoredText(text), validator->Limit()),
                          QString(), QMessageBox::Warning);
        return false;
    }
    field->setText(text);
    return true;
}

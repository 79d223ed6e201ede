#include "adding/download/EmailField.h"

#include "adding/download/FieldChecks.h"
#include "controls/CMessageBox.h"

#include <QCoreApplication>
#include <QLineEdit>

bool CheckEmailAddress(const QString& address, QWidget* owner)
{
    QString message;
    switch (FindEmailFault(address)) {
    case EmailFault::None:
        return true;
    case EmailFault::IllegalCharacters:
        message = QCoreApplication::translate("EmailField", "Illegal characters in e-mail address.");
        break;
    case EmailFault::NoAtSign:
        message = QCoreApplication::translate("EmailField", "Invalid e-mail address.");
        break;
    }
    CMessageBox::Show(owner, message, QString(), QMessageBox::Critical);
    return false;
}

bool ExchangeEmailField(QLineEdit* field, QString& address, bool take)
{
    if (!field)
        return false;
    if (!take) {
        field->setText(address);
        return true;
    }
    const QString text = field->text().left(kMaxEmailAddress);
    if (!CheckEmailAddress(text, field->window())) {
        field->setFocus(Qt::OtherFocusReason);
        return false;
    }
    address = text;
    return true;
}

#include "properties/PageControls.h"

#include <QGridLayout>
#include <QLabel>

QString WithoutMnemonic(QString text)
{
    return text.remove(QLatin1Char('&'));
}

QLabel* AddLabeledRow(QGridLayout* layout, int row, const QString& text, QWidget* field)
{
    auto* label = new QLabel(text, layout->parentWidget());
    label->setBuddy(field);
    label->setAccessibleName(WithoutMnemonic(text));
    field->setAccessibleName(label->accessibleName());
    layout->addWidget(label, row, 0);
    layout->addWidget(field, row, 1);
    return label;
}

void NameAfterText(QWidget* control, const QString& text)
{
    control->setAccessibleName(WithoutMnemonic(text));
}

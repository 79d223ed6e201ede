#pragma once

#include <QString>

class QGridLayout;
class QLabel;
class QWidget;

// Building the pages of the property sheets: every field is named after its label (without the
// mnemonic marker), so that screen readers and tests find it, and the label's mnemonic reaches it.

QString WithoutMnemonic(QString text);
// A label for the field in the row of a two-column grid; returns the label.
QLabel* AddLabeledRow(QGridLayout* layout, int row, const QString& text, QWidget* field);
// Names the control after its own text.
void NameAfterText(QWidget* control, const QString& text);

#pragma once

#include <QString>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// Building the pages of the property sheets: every field is named after its label (without the
// mnemonic marker), so that screen readers and tests find it, and the label's mnemonic reaches it.

QString WithoutMnemonic(QString text);
// A label for the field in the row of a two-column grid; returns the label.
QLabel* AddLabeledRow(QGridLayout* layout, int row, const QString& text, QWidget* field);
// A value the page shows but does not let the user change (a path, a name, a count), to go beside
// its caption through AddLabeledRow: a frameless read-only line rather than a label, since only
// an editable-text control gives screen readers the caption as its name and the value as its text.
// The keyboard reaches it and its text can be selected and copied.
QLineEdit* MakeValueField(QWidget* parent, const QString& text = QString());
// Names the control after its own text.
void NameAfterText(QWidget* control, const QString& text);

// The fields of a description page, laid out on it top to bottom with their labels: the brief
// description (its label given: the sheet and the wizard spell it differently), the detailed
// description and the import button.
struct DescriptionControls
{
    QLineEdit* brief = nullptr;
    QPlainTextEdit* detailed = nullptr;
    QPushButton* browse = nullptr;
};
DescriptionControls BuildDescriptionControls(QWidget* page, const QString& briefLabel);

// A page's list of download locations with "&Add", "&Edit" and "&Remove" under it, below an
// optional heading that then names the list.
struct LocationListControls
{
    QListWidget* list = nullptr;
    QPushButton* add = nullptr;
    QPushButton* edit = nullptr;
    QPushButton* remove = nullptr;
};
LocationListControls BuildLocationListControls(QWidget* page, QLabel* heading);

// Asks for a text file to import into a description, as a file-open dialog that refuses read-only
// files would: a file no one may write, or one in a directory this user cannot write to, is refused
// with a message and the chooser opens again. Empty when the user cancels.
QString ChooseDescriptionImport(QWidget* page);

// Fills the list with the areas that host local files, sorted by name without regard to case
// (equal names keep the table's order), each entry carrying its record number; none is chosen.
// False when no area hosts local files.
bool FillHostAreaList(QComboBox* list);

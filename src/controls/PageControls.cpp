#include "controls/PageControls.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/CFileChooser.h"
#include "controls/CMessageBox.h"
#include "database/CFileRecord.h"
#include "files/SafeFormat.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"

#include <QFileInfo>

#include <algorithm>

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

QLineEdit* MakeValueField(QWidget* parent, const QString& text)
{
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setFrame(false);
    // Drawn on the page's own background, so that it still looks like the label it replaces.
    QPalette palette = field->palette();
    palette.setBrush(QPalette::Base, palette.brush(QPalette::Window));
    field->setPalette(palette);
    field->setText(text);
    // A long path shows its start, not its end.
    field->setCursorPosition(0);
    // As wide as its text, as the label was, so that the sheet grows to show a path whole; a very
    // long one scrolls within the field rather than stretch the sheet past the screen.
    const QFontMetrics metrics(field->font());
    field->setMinimumWidth(std::min(metrics.horizontalAdvance(text) + 2 * metrics.averageCharWidth(),
                                    60 * metrics.averageCharWidth()));
    return field;
}

void NameAfterText(QWidget* control, const QString& text)
{
    control->setAccessibleName(WithoutMnemonic(text));
}

namespace {

QString Text(const char* text)
{
    return QCoreApplication::translate("PageControls", text);
}

} // namespace

DescriptionControls BuildDescriptionControls(QWidget* page, const QString& briefLabel)
{
    DescriptionControls controls;
    controls.brief = new QLineEdit(page);
    controls.brief->setMaxLength(CFileRecord::kShortDescLength);
    controls.detailed = new QPlainTextEdit(page);
    controls.detailed->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Tab moves on to the next control; Enter starts a new line.
    controls.detailed->setTabChangesFocus(true);
    controls.browse = new QPushButton(Text("B&rowse..."), page);
    NameAfterText(controls.browse, controls.browse->text());

    auto* brief = new QLabel(briefLabel, page);
    auto* detailed = new QLabel(Text("&Detailed description:"), page);
    auto* import = new QLabel(Text("&Import description from text file:"), page);
    brief->setBuddy(controls.brief);
    detailed->setBuddy(controls.detailed);
    import->setBuddy(controls.browse);
    for (QLabel* label : {brief, detailed, import})
        NameAfterText(label, label->text());
    NameAfterText(controls.brief, brief->text());
    NameAfterText(controls.detailed, detailed->text());

    auto* importRow = new QHBoxLayout;
    importRow->addWidget(import, 1);
    importRow->addWidget(controls.browse);
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(brief);
    layout->addWidget(controls.brief);
    layout->addWidget(detailed);
    layout->addWidget(controls.detailed, 1);
    layout->addLayout(importRow);
    return controls;
}

LocationListControls BuildLocationListControls(QWidget* page, QLabel* heading)
{
    LocationListControls controls;
    controls.list = new QListWidget(page);
    controls.list->setSelectionMode(QAbstractItemView::SingleSelection);
    controls.add = new QPushButton(Text("&Add"), page);
    controls.edit = new QPushButton(Text("&Edit"), page);
    controls.remove = new QPushButton(Text("&Remove"), page);
    for (QPushButton* button : {controls.add, controls.edit, controls.remove})
        NameAfterText(button, button->text());

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(controls.add);
    buttons->addWidget(controls.edit);
    buttons->addWidget(controls.remove);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(page);
    if (heading) {
        heading->setBuddy(controls.list);
        layout->addWidget(heading);
    }
    layout->addWidget(controls.list, 1);
    layout->addLayout(buttons);
    return controls;
}

QString ChooseDescriptionImport(QWidget* page)
{
    for (;;) {
        const QString path = CFileChooser::GetOpenFileName(page, Text("Open"), QString(),
                                                           Text("Text Files (*.txt);;All Files (*)"));
        if (path.isEmpty())
            return QString();
        // Read-only is the file's own mark (no write permission for anyone), not whether this
        // user may write it, so that it means the same for every user.
        constexpr QFile::Permissions kWritable = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
        const QFileInfo info(path);
        const char* refusal = nullptr;
        if (info.exists() && !(info.permissions() & kWritable))
            refusal = "%s\nThis file is set to read-only.\nTry again with a different file name.";
        else if (!QFileInfo(info.absolutePath()).isWritable())
            refusal =
                "%s\nThe directory of this file is write-protected.\nTry again with a different file name.";
        if (!refusal)
            return path;
        CMessageBox::Show(page, SafeFormat(QString::fromLatin1(refusal), path), Text("Open"),
                          QMessageBox::Warning);
    }
}

bool FillHostAreaList(QComboBox* list)
{
    QList<quint32> records = theFileAreaTable.RecordsWithFlag(kAreaHostsLocalFiles);
    // Administrators look for an area by its name.
    std::stable_sort(records.begin(), records.end(), [](quint32 a, quint32 b) {
        return theFileAreaTable.GetRecord(a)->Name().compare(theFileAreaTable.GetRecord(b)->Name(),
                                                             Qt::CaseInsensitive) < 0;
    });
    list->clear();
    for (quint32 record : std::as_const(records))
        list->addItem(theFileAreaTable.GetRecord(record)->Name(), QVariant::fromValue(record));
    list->setCurrentIndex(-1);
    return !records.isEmpty();
}

#include "explorer/CAboutBox.h"

#include "controls/PageControls.h"
#include "files/SafeFormat.h"
#include "resources/ExplorerIcons.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>

#include <unistd.h>

CAboutBox::CAboutBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("About Troveport Explorer"));
    setAccessibleName(windowTitle());

    auto* icon = new QLabel(this);
    icon->setPixmap(LoadExplorerIcon(ExplorerIcon::Program).pixmap(32, 32));
    icon->setAccessibleName(tr("Troveport Explorer"));
    auto* name = new QLabel(tr("Troveport Explorer"), this);
    name->setAccessibleName(name->text());
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* memoryLabel = new QLabel(tr("Physical Memory Available to Windows:"), this);
    memoryLabel->setAccessibleName(memoryLabel->text());
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    QLineEdit* memory =
        MakeValueField(this, FormatPhysicalMemory(pages > 0 && pageSize > 0 ? quint64(pages) * quint64(pageSize) : 0));
    memory->setAccessibleName(memoryLabel->text());
    memoryLabel->setBuddy(memory);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->button(QDialogButtonBox::Ok)->setAccessibleName(tr("OK"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(name, 0, 1, 1, 2);
    layout->addWidget(line, 1, 1, 1, 2);
    layout->addWidget(memoryLabel, 2, 1);
    layout->addWidget(memory, 2, 2);
    layout->addWidget(buttons, 3, 0, 1, 3);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString CAboutBox::FormatPhysicalMemory(quint64 bytes)
{
    return SafeFormat(u"%s KB", QLocale().toString(qulonglong(bytes / 1024)));
}

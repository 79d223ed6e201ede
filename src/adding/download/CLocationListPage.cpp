#include "adding/download/CLocationListPage.h"

#include "controls/CMessageBox.h"
#include "controls/PageControls.h"
#include "files/SafeFormat.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

CLocationListPage::CLocationListPage(quint32 templateId, const QString& title, QLabel* heading,
                                     const QString& listName, QWidget* parent)
    : CWizardPage(templateId, title, parent)
{
    if (heading)
        heading->setParent(this);
    const LocationListControls controls = BuildLocationListControls(this, heading);
    m_list = controls.list;
    m_list->setAccessibleName(heading ? WithoutMnemonic(heading->text()) : listName);
    m_add = controls.add;
    m_edit = controls.edit;
    m_remove = controls.remove;
    connect(m_add, &QPushButton::clicked, this, [this] { OnAdd(); });
    connect(m_edit, &QPushButton::clicked, this, [this] { OnEdit(); });
    connect(m_remove, &QPushButton::clicked, this, [this] { OnRemove(); });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { OnEdit(); });
}

QString CLocationListPage::LocationOf(const QListWidgetItem* item)
{
    // Items that another page added with their text alone stand for that text.
    const QVariant whole = item->data(Qt::UserRole);
    return whole.isValid() ? whole.toString() : item->text();
}

QListWidgetItem* CLocationListPage::AddLocationItem(const QString& location, int row)
{
    auto* item = new QListWidgetItem(ElideStoredText(location, kMaxShownLocation));
    item->setData(Qt::UserRole, location);
    if (row < 0)
        m_list->addItem(item);
    else
        m_list->insertItem(row, item);
    return item;
}

QStringList CLocationListPage::ListedLocations() const
{
    QStringList locations;
    for (int i = 0; i < m_list->count(); ++i)
        locations.append(LocationOf(m_list->item(i)));
    return locations;
}

bool CLocationListPage::RequireLocation(const QString& message)
{
    if (m_list->count() > 0)
        return true;
    CMessageBox::Show(this, message);
    return false;
}

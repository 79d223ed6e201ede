#include "properties/CLocationListPage.h"

#include "controls/CMessageBox.h"
#include "properties/PageControls.h"

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
    m_list->setAccessibleName(listName);
    m_add = controls.add;
    m_edit = controls.edit;
    m_remove = controls.remove;
    connect(m_add, &QPushButton::clicked, this, [this] { OnAdd(); });
    connect(m_edit, &QPushButton::clicked, this, [this] { OnEdit(); });
    connect(m_remove, &QPushButton::clicked, this, [this] { OnRemove(); });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { OnEdit(); });
}

QStringList CLocationListPage::ListedLocations() const
{
    QStringList locations;
    for (int i = 0; i < m_list->count(); ++i)
        locations.append(m_list->item(i)->text());
    return locations;
}

bool CLocationListPage::RequireLocation(const QString& message)
{
    if (m_list->count() > 0)
        return true;
    CMessageBox::Show(this, message);
    return false;
}

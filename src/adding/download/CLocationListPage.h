#pragma once

#include "adding/wizard/CWizardPage.h"

#include <QStringList>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// A page of download locations: a list with "&Add", "&Edit" and "&Remove" under it (a double-click
// edits), shared by the Add File wizard, a file's properties and an upload under review. What the
// buttons do, and where the locations go, is the page's own.
class CLocationListPage : public CWizardPage
{
    Q_OBJECT

public:
    QListWidget* GetList() const { return m_list; }
    QPushButton* GetAddButton() const { return m_add; }
    QPushButton* GetEditButton() const { return m_edit; }
    QPushButton* GetRemoveButton() const { return m_remove; }

    // The whole location an item of the list stands for.
    static QString LocationOf(const QListWidgetItem* item);
    // How many characters of a location the list shows; a longer one is shortened in the middle.
    static constexpr qsizetype kMaxShownLocation = 1024;

    virtual void OnAdd() = 0;
    virtual void OnEdit() = 0;
    virtual void OnRemove() = 0;

protected:
    // heading, when given, stands above the list and names it; listName names it otherwise.
    CLocationListPage(quint32 templateId, const QString& title, QLabel* heading, const QString& listName,
                      QWidget* parent);

    // Adds a location to the list, at row or at the end. A site can store megabytes in a location,
    // and laying them out would freeze the window: the item shows a shortened text and keeps the
    // whole location for LocationOf.
    QListWidgetItem* AddLocationItem(const QString& location, int row = -1);
    // The locations in the order shown.
    QStringList ListedLocations() const;
    // True when the list holds a location; otherwise says message and keeps the page.
    bool RequireLocation(const QString& message);

    QListWidget* m_list;
    QPushButton* m_add;
    QPushButton* m_edit;
    QPushButton* m_remove;
};

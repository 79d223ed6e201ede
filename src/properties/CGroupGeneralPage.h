#pragma once

#include "adding/wizard/CWizardPage.h"

#include <QList>

class QListWidget;

// "General" of "File Group Properties": the group's name and every area of the table, checked
// where the group's file lists it; nothing can be changed (groups are defined with troveport-setup).
class CGroupGeneralPage : public CWizardPage
{
    Q_OBJECT

public:
    static constexpr quint32 kTemplateId = 0x0141;
    static constexpr quint32 kHelpTopic = 63;

    explicit CGroupGeneralPage(const QString& groupName, QWidget* parent = nullptr);

    bool OnSetActive() override;

    QListWidget* GetAreaList() const { return m_areas; }

private:
    void FillList();

    QString m_groupName;
    bool m_filled = false;
    QListWidget* m_areas;
};

// Which entries of a list of area ids a group's ids check: for each id of the group, in order, the
// first entry with that id; an id that stands in the group twice checks one entry, and an id no
// entry has checks none.
QList<bool> CheckedAreaEntries(const QList<quint32>& entryIds, const QList<quint32>& groupIds);

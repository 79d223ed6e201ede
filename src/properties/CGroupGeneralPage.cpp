#include "properties/CGroupGeneralPage.h"

#include "controls/PageControls.h"
#include "files/PathUtils.h"
#include "settings/CFileAreaTable.h"
#include "settings/CGroupFile.h"
#include "settings/Globals.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include <algorithm>

QList<bool> CheckedAreaEntries(const QList<quint32>& entryIds, const QList<quint32>& groupIds)
{
    QList<bool> checked(entryIds.size(), false);
    for (quint32 id : groupIds) {
        const qsizetype entry = entryIds.indexOf(id);
        if (entry >= 0)
            checked[entry] = true;
    }
    return checked;
}

CGroupGeneralPage::CGroupGeneralPage(const QString& groupName, QWidget* parent)
    : CWizardPage(kTemplateId, tr("General"), parent), m_groupName(groupName)
{
    SetHelpTopic(kHelpTopic);
    QLineEdit* name = MakeValueField(this, groupName);

    auto* box = new QGroupBox(tr("File Areas"), this);
    m_areas = new QListWidget(box);
    m_areas->setAccessibleName(tr("File Areas"));
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->addWidget(m_areas);

    auto* layout = new QVBoxLayout(this);
    auto* fields = new QGridLayout;
    AddLabeledRow(fields, 0, tr("Group Name:"), name);
    fields->setColumnStretch(1, 1);
    layout->addLayout(fields);
    layout->addWidget(box, 1);
}

bool CGroupGeneralPage::OnSetActive()
{
    if (!m_filled) {
        FillList();
        m_filled = true;
    }
    return CWizardPage::OnSetActive();
}

void CGroupGeneralPage::FillList()
{
    // Every area of the table, sorted by name without regard to case; equal names keep the table's order.
    struct Entry
    {
        QString name;
        quint32 id;
    };
    QList<Entry> entries;
    for (quint32 record = 1; record < theFileAreaTable.GetRecordCount(); ++record) {
        if (const FileAreaRecord* area = theFileAreaTable.GetRecord(record))
            entries.append({area->Name(), area->AreaId()});
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });

    QList<quint32> groupIds;
    CGroupFile file;
    if (file.Open(MakePath(g_strDatabasePath, m_groupName, QStringLiteral("group")))) {
        for (quint32 i = 0; i < file.GetRecordCount(); ++i)
            groupIds.append(file.GetAreaId(i));
    }
    QList<quint32> entryIds;
    for (const Entry& entry : std::as_const(entries))
        entryIds.append(entry.id);
    const QList<bool> checked = CheckedAreaEntries(entryIds, groupIds);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        auto* item = new QListWidgetItem(entries[i].name, m_areas);
        item->setData(Qt::UserRole, entries[i].id);
        item->setCheckState(checked[i] ? Qt::Checked : Qt::Unchecked);
        // Shown, not offered: the marks cannot be changed here, yet the list can still be read.
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
}

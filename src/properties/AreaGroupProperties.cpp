#include "properties/AreaGroupProperties.h"

#include "controls/CommandHost.h"
#include "controls/CPropertySheet.h"
#include "controls/CTreeItem.h"
#include "properties/CAreaGeneralPage.h"
#include "properties/CGroupGeneralPage.h"

void RunAreaPropertiesSheet(QWidget* parent, quint32 areaId)
{
    CPropertySheet sheet(QObject::tr("File Area Properties"), parent);
    sheet.AddPage(new CAreaGeneralPage(areaId));
    sheet.DoModal();
}

void RunGroupPropertiesSheet(QWidget* parent, const QString& groupName)
{
    CPropertySheet sheet(QObject::tr("File Group Properties"), parent);
    sheet.AddPage(new CGroupGeneralPage(groupName));
    sheet.DoModal();
}

void RunTreePropertiesCommand(CommandHost& host)
{
    const CFolderTreeItem* node = host.GetSelectedTreeItem();
    if (!node)
        return;
    if (node->GetType() == kNodeGroup)
        RunGroupPropertiesSheet(host.GetWindow(), node->GetName());
    else if (node->GetType() == kNodeArea)
        RunAreaPropertiesSheet(host.GetWindow(), node->GetAreaId());
}

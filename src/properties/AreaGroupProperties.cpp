#include "properties/AreaGroupProperties.h"

#include "controls/CPropertySheet.h"
#include "controls/CTreeItem.h"
#include "explorer/CMainFrame.h"
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

void RunTreePropertiesCommand(CMainFrame& frame)
{
    const CFolderTreeItem* node = frame.GetSelectedTreeItem();
    if (!node)
        return;
    if (node->GetType() == kNodeGroup)
        RunGroupPropertiesSheet(&frame, node->GetName());
    else if (node->GetType() == kNodeArea)
        RunAreaPropertiesSheet(&frame, node->GetAreaId());
}

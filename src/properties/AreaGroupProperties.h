#pragma once

#include <QString>

class CommandHost;
class QWidget;

// The read-only sheets of an area and of a group. Closing them, with OK or Cancel, changes nothing.
void RunAreaPropertiesSheet(QWidget* parent, quint32 areaId);
void RunGroupPropertiesSheet(QWidget* parent, const QString& groupName);

// The tree's pop-up "Properties": the sheet of the selected group or area; other nodes do nothing.
void RunTreePropertiesCommand(CommandHost& host);

#pragma once

class CommandHost;

// The Properties command of the file list: the property sheet of the first selected row. For a
// file, after OK the row is shown afresh, and the list refreshed when the area's files changed.
void RunPropertiesCommand(CommandHost& host);

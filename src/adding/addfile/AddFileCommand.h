#pragma once

class CommandHost;

// The New command: runs the Add File wizard, then refreshes the list when the selected area now
// holds more files than it shows.
void RunAddFileCommand(CommandHost& host);

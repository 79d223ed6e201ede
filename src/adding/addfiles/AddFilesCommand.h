#pragma once

class CommandHost;

// The Add multiple command: runs the Add Files wizard when some area hosts local files, then
// refreshes the list as the New command does.
void RunAddFilesCommand(CommandHost& host);

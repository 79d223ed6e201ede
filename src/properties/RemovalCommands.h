#pragma once

class CommandHost;

// Delete File (in an area or the search results) and Remove from Area (in an area): the question,
// the wait cursor, the walk over the selected files with the list's refreshes held, then one
// refresh of the list.
void RunDeleteFileCommand(CommandHost& host);
void RunRemoveFromAreaCommand(CommandHost& host);

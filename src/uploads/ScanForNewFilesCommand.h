#pragma once

class CommandHost;

// "Scan for new files": scans the upload areas behind a progress window that can stop the scan,
// shows the uploads found in the Scan for new files dialog (or says that there are none), and
// then refreshes the explorer's list.
void RunScanForNewFilesCommand(CommandHost& host);

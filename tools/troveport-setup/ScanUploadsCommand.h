#pragma once

#include "SetupCommandLine.h"

// troveport-setup scan-uploads [--json] [--post-clean]: the Scan for new files command without a
// window. Lists every upload waiting in the upload areas with the virus checker's verdict; with
// --post-clean posts, as the scan's dialog posts, the safe uploads the checker found clean. Returns
// the exit status: 0 when nothing waits after the run, 1 when uploads wait, 2 on an error (library
// unreadable, a post the database refused). docs/scan-uploads.md describes the --json document.
int ScanUploadsCommand(const CommandLine& line, const QString& library, QTextStream& out, QTextStream& err);

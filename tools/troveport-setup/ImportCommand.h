#pragma once

#include "SetupCommandLine.h"

#include <functional>

// troveport-setup import DIR --area ID [--subdirs] [--descriptions]: the Add Files wizard's import
// without a window. Returns the exit status: 0 when every file was added, 1 when some file was not
// (the log says why), 2 when nothing could be imported (no such area, no valid directory, no files).
int ImportCommand(const CommandLine& line, const QString& library, QTextStream& out, QTextStream& err);

// For tests: called with each file's index before it is stored, as SIGINT or SIGTERM would come.
void SetImportFileHook(std::function<void(qsizetype)> hook);

#pragma once

#include "SetupCommandLine.h"

// troveport-setup scan-uploads: see the usage text and docs/troveport-setup.1. Returns the exit status.
int ScanUploadsCommand(const CommandLine& line, const QString& library, QTextStream& out, QTextStream& err);

#pragma once

#include "SetupCommandLine.h"

// troveport-setup import: see the usage text and docs/troveport-setup.1. Returns the exit status.
int ImportCommand(const CommandLine& line, const QString& library, QTextStream& out, QTextStream& err);

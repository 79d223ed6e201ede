#pragma once

#include <QStringList>
#include <QTextStream>

// Runs one troveport-setup command line (without the program name). Returns the exit status:
// 0 done, 1 failed (the reason went to err), 2 the command line was wrong.
int RunSetup(const QStringList& arguments, QTextStream& out, QTextStream& err);

#include "CheckCommand.h"

int CheckCommand(const CommandLine&, const QString&, QTextStream&, QTextStream&)
{
    throw CUsageError(QStringLiteral("\"check\" is not built yet."));
}

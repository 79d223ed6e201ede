#include "ImportCommand.h"

int ImportCommand(const CommandLine&, const QString&, QTextStream&, QTextStream&)
{
    throw CUsageError(QStringLiteral("\"import\" is not built yet."));
}

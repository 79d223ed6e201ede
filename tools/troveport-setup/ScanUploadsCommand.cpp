#include "ScanUploadsCommand.h"

int ScanUploadsCommand(const CommandLine&, const QString&, QTextStream&, QTextStream&)
{
    throw CUsageError(QStringLiteral("\"scan-uploads\" is not built yet."));
}

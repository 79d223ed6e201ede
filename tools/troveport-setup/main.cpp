#include "SetupCommands.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("troveport-setup"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RunSetup(QCoreApplication::arguments().mid(1), out, err);
}

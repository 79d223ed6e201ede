#include "startup/CExplorerApp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("troveport-explorer"));
    QApplication::setOrganizationName(QStringLiteral("troveport"));
    if (!theApp.InitInstance())
        return 0;
    const int code = QApplication::exec();
    theApp.ExitInstance();
    return code;
}

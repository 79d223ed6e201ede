#include "startup/CExplorerApp.h"

#include "controls/CMessageBox.h"
#include "database/CTroveportDatabaseManager.h"
#include "explorer/CMainFrame.h"
#include "startup/Startup.h"

#include <QCoreApplication>

CExplorerApp theApp;

CExplorerApp::CExplorerApp() = default;

CExplorerApp::~CExplorerApp() = default;

bool CExplorerApp::InitInstance()
{
    LoadStartupPaths();

    const QString caption = QCoreApplication::translate("CExplorerApp", "Warning");
    switch (OpenFileAreaTable()) {
    case AreaTableStatus::CannotAccess:
        CMessageBox::Show(
            nullptr,
            QCoreApplication::translate("CExplorerApp",
                                        "Troveport Explorer cannot access the FileAreas database. If you "
                                        "are running Troveport Setup, please close it and try again."),
            caption);
        return false;
    case AreaTableStatus::NoAreas:
        CMessageBox::Show(nullptr,
                          QCoreApplication::translate(
                              "CExplorerApp", "No file areas are defined. Please run Troveport Setup."),
                          caption);
        return false;
    case AreaTableStatus::Ready:
        break;
    }

    m_mainFrame = std::make_unique<CMainFrame>();
    m_mainFrame->show();
    return true;
}

void CExplorerApp::ExitInstance()
{
    m_mainFrame.reset();
    theDatabaseManager.CloseConnection();
}

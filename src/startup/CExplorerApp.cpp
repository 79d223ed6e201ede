#include "startup/CExplorerApp.h"

#include "controls/CMessageBox.h"
#include "database/CTroveportDatabaseManager.h"
#include "explorer/CMainFrame.h"
#include "startup/Startup.h"
#include "startup/TerminationSignals.h"

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
    // The desktop ends a program it is logging out of with SIGTERM: the layout is saved as when the
    // window is closed, by ExitInstance after the loop (every dialog's loop included) has ended.
    m_signals = std::make_unique<CTerminationSignals>();
    QObject::connect(m_signals.get(), &CTerminationSignals::Received, [] { QCoreApplication::exit(0); });
    return true;
}

void CExplorerApp::ExitInstance()
{
    m_mainFrame.reset();
    m_signals.reset();
    theDatabaseManager.CloseConnection();
}

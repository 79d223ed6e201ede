#pragma once

#include <memory>

class CMainFrame;
class CTerminationSignals;

// The application object: start-up up to the main window, and the window's ownership.
class CExplorerApp
{
public:
    CExplorerApp();
    ~CExplorerApp();

    // Reads the start-up settings, opens the file area table and creates the main frame. False,
    // after telling the user why, when the program cannot run; the process then ends. From then on
    // SIGTERM, SIGHUP and SIGINT end the event loop, so that the program leaves as when closed.
    bool InitInstance();
    // Destroys the main frame (which saves its layout). Called once the event loop has ended.
    void ExitInstance();

    CMainFrame* GetMainWindow() const { return m_mainFrame.get(); }

private:
    std::unique_ptr<CMainFrame> m_mainFrame;
    std::unique_ptr<CTerminationSignals> m_signals;
};

extern CExplorerApp theApp;

#include "explorer/CMainFrame.h"

#include "startup/Globals.h"

#include <QLabel>
#include <QStatusBar>

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QString::fromUtf8(g_pszAppName));
    setAccessibleName(windowTitle());
    resize(800, 560);

    const quint32 areas = theFileAreaTable.GetRecordCount() > 0 ? theFileAreaTable.GetRecordCount() - 1 : 0;
    auto* status = new QLabel(areas == 1 ? tr("1 file area") : tr("%1 file areas").arg(areas), this);
    status->setAccessibleName(status->text());
    statusBar()->addWidget(status);
}

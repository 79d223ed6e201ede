#include "explorer/CHelpViewer.h"

#include <QPointer>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
QPointer<CHelpViewer> g_viewer;
} // namespace

CHelpViewer::CHelpViewer(QWidget* owner) : QDialog(owner), m_browser(new QTextBrowser(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    resize(640, 520);
    m_browser->setAccessibleName(tr("Help topic"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
}

CHelpViewer* CHelpViewer::GetInstance()
{
    return g_viewer;
}

CHelpViewer* CHelpViewer::ShowContents(QWidget* owner, Book book)
{
    if (!g_viewer)
        g_viewer = new CHelpViewer(owner);
    g_viewer->ShowBook(book);
    g_viewer->show();
    g_viewer->raise();
    g_viewer->activateWindow();
    return g_viewer;
}

void CHelpViewer::ShowBook(Book book)
{
    m_book = book;
    const QString title = book == kProgramHelp ? tr("Troveport Explorer Help") : tr("Troveport Administrator's Guide");
    setWindowTitle(title);
    setAccessibleName(title);
    m_browser->setHtml(QStringLiteral("<h2>%1</h2><p>%2</p>").arg(title.toHtmlEscaped(), tr("Contents").toHtmlEscaped()));
}

#include "controls/CHelpViewer.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QWhatsThis>

// The pages live in the program's resources, linked in from a static library: registered here, where
// they are used, so that the linker keeps them.
static void RegisterHelpPages()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(help);
        return true;
    }();
    Q_UNUSED(registered);
}

namespace {

QPointer<CHelpViewer> g_viewer;
QList<CHelpViewer::Shown> g_shown;

void Note(const CHelpViewer::Shown& shown)
{
    if (g_shown.size() >= 100)
        g_shown.removeFirst();
    g_shown.append(shown);
}

QString ResourcePath(const QUrl& url)
{
    return QLatin1Char(':') + url.path();
}

} // namespace

CHelpViewer::CHelpViewer(QWidget* owner) : QDialog(nullptr), m_browser(new QTextBrowser(this))
{
    // A window of its own, like a separate help program: it stays usable while a dialog of the
    // explorer runs modally, and does not keep the program alive once the explorer closes.
    Q_UNUSED(owner);
    setWindowFlag(Qt::Window, true);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_QuitOnClose, false);
    setModal(false);
    resize(720, 560);
    m_browser->setOpenExternalLinks(true);
    m_browser->setAccessibleName(tr("Help topic"));

    auto* contents = new QPushButton(tr("&Contents"), this);
    auto* back = new QPushButton(tr("&Back"), this);
    auto* forward = new QPushButton(tr("&Forward"), this);
    for (QPushButton* button : {contents, back, forward}) {
        button->setAccessibleName(button->text().remove(QLatin1Char('&')));
        button->setAutoDefault(false);
    }
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(contents, &QPushButton::clicked, this, [this] { Show(m_book, ContentsUrl(m_book)); });
    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QWidget::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this](const QUrl& source) {
        // A link may lead into the other book; Contents then means that book's contents.
        m_book =
            source.path().startsWith(QLatin1String("/help/guide/")) ? kAdministratorsGuide : kProgramHelp;
        setWindowTitle(m_browser->documentTitle().isEmpty() ? tr("Troveport Explorer Help")
                                                            : m_browser->documentTitle());
        setAccessibleName(windowTitle());
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);
}

QUrl CHelpViewer::TopicUrl(quint32 topic)
{
    RegisterHelpPages();
    return QUrl(QStringLiteral("qrc:/help/program/topic-%1.html").arg(topic));
}

QUrl CHelpViewer::ContentsUrl(Book book)
{
    RegisterHelpPages();
    return QUrl(book == kProgramHelp ? QStringLiteral("qrc:/help/program/contents.html")
                                     : QStringLiteral("qrc:/help/guide/contents.html"));
}

QString CHelpViewer::NoTopicText()
{
    return tr("No Help topic is associated with this item.");
}

CHelpViewer* CHelpViewer::GetInstance()
{
    return g_viewer;
}

QList<CHelpViewer::Shown> CHelpViewer::TakeShown()
{
    QList<Shown> taken;
    taken.swap(g_shown);
    return taken;
}

QUrl CHelpViewer::GetSource() const
{
    return m_browser->source();
}

CHelpViewer* CHelpViewer::Open(QWidget* owner)
{
    if (!g_viewer)
        g_viewer = new CHelpViewer(owner);
    g_viewer->show();
    g_viewer->raise();
    g_viewer->activateWindow();
    return g_viewer;
}

void CHelpViewer::Show(Book book, const QUrl& page)
{
    m_book = book;
    m_browser->setSource(QFile::exists(ResourcePath(page)) ? page : ContentsUrl(book));
}

CHelpViewer* CHelpViewer::ShowContents(QWidget* owner, Book book)
{
    Note({Shown::Contents, book, 0, QString()});
    CHelpViewer* viewer = Open(owner);
    viewer->Show(book, ContentsUrl(book));
    return viewer;
}

CHelpViewer* CHelpViewer::ShowTopic(QWidget* owner, quint32 topic)
{
    Note({Shown::Topic, kProgramHelp, topic, QString()});
    CHelpViewer* viewer = Open(owner);
    viewer->Show(kProgramHelp, TopicUrl(topic));
    return viewer;
}

void CHelpViewer::ShowTopicPopup(QWidget* anchor, const QPoint& globalPosition, quint32 topic)
{
    QFile page(ResourcePath(TopicUrl(topic)));
    QString text = NoTopicText();
    if (page.open(QIODevice::ReadOnly)) {
        // The pop-up shows the topic's text without its page furniture.
        QTextDocument document;
        document.setHtml(QString::fromUtf8(page.readAll()));
        text = document.toPlainText().trimmed();
    }
    Note({Shown::Popup, kProgramHelp, topic, text});
    QWhatsThis::showText(globalPosition,
                         text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")), anchor);
}

void CHelpViewer::ShowPopup(QWidget* anchor, const QPoint& globalPosition, const QString& text)
{
    Note({Shown::Popup, kProgramHelp, 0, text});
    QWhatsThis::showText(globalPosition, text.toHtmlEscaped(), anchor);
}

#include "adding/addfile/ReadClipboardText.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QThread>

QString ReadClipboardText()
{
    // The clipboard belongs to the GUI thread of a GUI application; anywhere else there is none to
    // open, which reads as no text.
    const auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app || QThread::currentThread() != app->thread())
        return QString();
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return QString();
    // Plain text only: text() gives nothing for an image or other data without a text form.
    QString text = clipboard->text(QClipboard::Clipboard);
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

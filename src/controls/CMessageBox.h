#pragma once

#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

// The one way the program shows a message box. Tests switch on answering mode: then no box
// appears, each request is recorded and gets the next queued answer (or its default button).
class CMessageBox
{
public:
    using Button = QMessageBox::StandardButton;
    using Buttons = QMessageBox::StandardButtons;

    // An empty caption means the program's name, "Troveport Explorer".
    static Button Show(QWidget* owner, const QString& text, const QString& caption = QString(),
                       QMessageBox::Icon icon = QMessageBox::NoIcon, Buttons buttons = QMessageBox::Ok,
                       Button defaultButton = QMessageBox::NoButton);

    // The box Show puts up, built but not yet run; answering mode builds none, so tests look at
    // the box a user would see through this.
    static std::unique_ptr<QMessageBox> MakeBox(QWidget* owner, const QString& text,
                                                const QString& caption = QString(),
                                                QMessageBox::Icon icon = QMessageBox::NoIcon,
                                                Buttons buttons = QMessageBox::Ok,
                                                Button defaultButton = QMessageBox::NoButton);

    struct Request
    {
        QPointer<QWidget> owner;
        bool hadOwner = false;
        QString caption;
        QString text;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        Buttons buttons;
        Button defaultButton = QMessageBox::NoButton;
        // The cursor the user saw over the box: the program's override, if any.
        std::optional<Qt::CursorShape> cursor;
    };

    static void SetAnsweringMode(bool on);
    static void QueueAnswer(Button answer);
    // The requests recorded since the last call, oldest first.
    static QList<Request> TakeRequests();
};

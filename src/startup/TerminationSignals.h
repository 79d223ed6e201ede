#pragma once

#include <QObject>

#include <csignal>
#include <memory>

class QSocketNotifier;

// The signals by which the desktop or a terminal ends a program: SIGTERM (the session ending at
// logout, a service manager, kill), SIGHUP (its terminal gone) and SIGINT (Ctrl+C). While an object
// of this class lives, they no longer end the process at once: each is handed to the event loop as
// Received, so that the program can leave the way it does when the user closes it (the window's
// layout saved, the database closed). A signal handler may do next to nothing safely: it only
// writes the signal's number into a pipe, which the event loop reads.
class CTerminationSignals : public QObject
{
    Q_OBJECT

public:
    explicit CTerminationSignals(QObject* parent = nullptr);
    // Gives the signals back to what handled them before.
    ~CTerminationSignals() override;

    // False when the pipe could not be made: the signals then keep ending the process at once.
    bool IsActive() const { return m_notifier != nullptr; }

signals:
    void Received(int signal);

private:
    void ReadSignals();

    QSocketNotifier* m_notifier = nullptr;
    struct sigaction m_previous[3] = {};
};

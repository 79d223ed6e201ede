#pragma once

#include <QDialog>

#include <functional>

// The one way the program runs a dialog modally. Tests queue handlers: each run then calls the
// next handler with the dialog (already shown, so its pages and fields are live) instead of
// waiting for a user, and returns what the handler returns.
class CModalRun
{
public:
    using Handler = std::function<int(QDialog&)>;

    static int Exec(QDialog& dialog);
    // A progress window, which closes by itself when its work ends. It takes only handlers queued
    // for progress windows: a handler meant for the dialog after long work must not depend on how
    // long that work took.
    static int ExecProgress(QDialog& dialog);

    static void QueueHandler(Handler handler);
    static void QueueProgressHandler(Handler handler);
    static void ClearHandlers();
    // Both kinds.
    static int PendingHandlers();
};

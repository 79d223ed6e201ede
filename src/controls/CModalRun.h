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

    static void QueueHandler(Handler handler);
    static void ClearHandlers();
    static int PendingHandlers();
};

#pragma once

#include "settings/WorkProgress.h"

#include <QString>

#include <functional>

class QWidget;

// Runs work on a worker thread. Work that ends within a moment shows nothing; longer work shows a
// window-modal progress dialog with Cancel (run through CModalRun::ExecProgress, so tests can
// answer it) while
// the window keeps answering. Cancel asks the work to stop through CWorkProgress::Cancelled() and
// waits for it: the function never returns while the work still runs. Returns false when the work
// was cancelled.
bool RunWithProgress(QWidget* parent, const QString& caption, const QString& text,
                     const std::function<void(CWorkProgress&)>& work);

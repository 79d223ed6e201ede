#pragma once

#include <QCursor>
#include <QGuiApplication>

// Shows the wait cursor for as long as the object lives; nested objects stack.
class CWaitCursor
{
public:
    CWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// Shows the normal arrow while a message box or dialog waits for the user in the middle of work
// that shows the wait cursor; the wait cursor comes back when the object goes.
class CNormalCursor
{
public:
    CNormalCursor() : m_active(QGuiApplication::overrideCursor() != nullptr)
    {
        if (m_active)
            QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~CNormalCursor()
    {
        if (m_active)
            QGuiApplication::restoreOverrideCursor();
    }
    CNormalCursor(const CNormalCursor&) = delete;
    CNormalCursor& operator=(const CNormalCursor&) = delete;

private:
    bool m_active;
};

#pragma once

#include <QMutex>
#include <QString>

#include <atomic>

// What long work running on a worker thread tells the window, and how the window tells it to
// stop. Every member may be used from either thread.
class CWorkProgress
{
public:
    bool Cancelled() const { return m_cancelled.load(); }
    void Cancel() { m_cancelled.store(true); }

    // maximum 0 means the amount of work is not known (a busy bar).
    void SetRange(qint64 maximum) { m_maximum.store(maximum); }
    void SetValue(qint64 value) { m_value.store(value); }
    void SetText(const QString& text)
    {
        const QMutexLocker lock(&m_mutex);
        m_text = text;
    }

    qint64 Maximum() const { return m_maximum.load(); }
    qint64 Value() const { return m_value.load(); }
    QString Text() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_text;
    }

private:
    std::atomic<bool> m_cancelled {false};
    std::atomic<qint64> m_maximum {0};
    std::atomic<qint64> m_value {0};
    mutable QMutex m_mutex;
    QString m_text;
};

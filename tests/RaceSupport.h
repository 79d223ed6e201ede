#pragma once

// A site that swaps things under the explorer's feet: a thread that exchanges two directory
// entries again and again (renameat2 RENAME_EXCHANGE), as a hostile process would between the
// explorer's check and its use.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <stdio.h>
#include <thread>

namespace RaceSupport {

// Exchanges a and b over and over on a thread of its own, from Start until Stop or until
// maxRounds exchanges were made, calling afterEach after every exchange and pausing between two;
// atEnd is called on that thread when it stops. Stop puts the entries back as they began.
class CExchanger
{
public:
    CExchanger(const QString& a, const QString& b, std::function<void()> afterEach = {},
               std::function<void()> atEnd = {}, std::chrono::microseconds pause = {}, long maxRounds = 50'000'000)
        : m_a(QFile::encodeName(a)), m_b(QFile::encodeName(b)), m_afterEach(std::move(afterEach)),
          m_atEnd(std::move(atEnd)), m_pause(pause), m_maxRounds(maxRounds)
    {
    }
    ~CExchanger() { Stop(); }
    CExchanger(const CExchanger&) = delete;
    CExchanger& operator=(const CExchanger&) = delete;

    // Why this file system cannot exchange the two entries, or empty when it can (tried and undone).
    QString Refusal()
    {
        if (!Exchange())
            return QStringLiteral("The file system cannot exchange entries: ") +
                   QString::fromLocal8Bit(std::strerror(errno));
        if (!Exchange())
            return QStringLiteral("An exchange could not be undone");
        return QString();
    }

    // Returns once the exchanges are well under way, so the race is run against them.
    void Start()
    {
        m_thread = std::thread([this] {
            for (long round = 0; round < m_maxRounds && !m_stop.load(std::memory_order_relaxed); ++round) {
                if (Exchange())
                    ++m_exchanges;
                if (m_afterEach)
                    m_afterEach();
                if (m_pause.count() > 0)
                    std::this_thread::sleep_for(m_pause);
            }
            if (m_atEnd)
                m_atEnd();
            m_ended = true;
        });
        while (m_exchanges < 100 && !m_ended)
            std::this_thread::yield();
    }

    void Stop()
    {
        if (!m_thread.joinable())
            return;
        m_stop = true;
        m_thread.join();
        if (m_exchanges % 2 != 0)
            Exchange();
    }

    long Exchanges() const { return m_exchanges; }

private:
    bool Exchange()
    {
        return ::renameat2(AT_FDCWD, m_a.constData(), AT_FDCWD, m_b.constData(), RENAME_EXCHANGE) == 0;
    }

    QByteArray m_a, m_b;
    std::function<void()> m_afterEach, m_atEnd;
    std::chrono::microseconds m_pause;
    long m_maxRounds;
    std::thread m_thread;
    std::atomic<bool> m_stop{false}, m_ended{false};
    std::atomic<long> m_exchanges{0};
};

} // namespace RaceSupport

#pragma once

// A site that swaps things under the explorer's feet: a thread that exchanges two directory
// entries again and again (renameat2 RENAME_EXCHANGE), as a hostile process would between the
// explorer's check and its use.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace RaceSupport {

inline int ExchangeEntries(const QByteArray& a, const QByteArray& b)
{
#ifdef SYS_renameat2
    return int(::syscall(SYS_renameat2, AT_FDCWD, a.constData(), AT_FDCWD, b.constData(), 2 /* RENAME_EXCHANGE */));
#else
    errno = ENOSYS;
    return -1;
#endif
}

// True when this file system can exchange entries; the race tests skip where it cannot.
inline bool CanExchange(const QString& a, const QString& b)
{
    const QByteArray x = QFile::encodeName(a), y = QFile::encodeName(b);
    if (ExchangeEntries(x, y) != 0)
        return false;
    return ExchangeEntries(x, y) == 0; // and back
}

// Exchanges a and b until destroyed; the entries end as they began.
class CExchanger
{
public:
    CExchanger(const QString& a, const QString& b) : m_a(QFile::encodeName(a)), m_b(QFile::encodeName(b))
    {
        m_thread = std::thread([this] {
            while (!m_stop.load()) {
                if (ExchangeEntries(m_a, m_b) == 0)
                    m_swaps.fetch_add(1);
            }
        });
    }
    ~CExchanger()
    {
        m_stop = true;
        m_thread.join();
        if (m_swaps.load() % 2 != 0)
            ExchangeEntries(m_a, m_b);
    }
    CExchanger(const CExchanger&) = delete;
    CExchanger& operator=(const CExchanger&) = delete;

    quint64 Swaps() const { return m_swaps.load(); }

private:
    QByteArray m_a, m_b;
    std::atomic<bool> m_stop{false};
    std::atomic<quint64> m_swaps{0};
    std::thread m_thread;
};

} // namespace RaceSupport

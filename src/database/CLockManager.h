#pragma once

#include <QRecursiveMutex>

// The lock taken around edits of existing rows. Its holder may take it again (Update holds it
// while Edit and UpdateRecord take and release it); each Lock is matched by one Unlock.
class CLockManager
{
public:
    virtual ~CLockManager() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

class CRecursiveLockManager : public CLockManager
{
public:
    void Lock() override { m_mutex.lock(); }
    void Unlock() override { m_mutex.unlock(); }

private:
    QRecursiveMutex m_mutex;
};

// Holds the lock that DatabaseLock points to at construction, for one scope.
class CDatabaseLockGuard
{
public:
    explicit CDatabaseLockGuard(CLockManager* lock) : m_lock(lock)
    {
        if (m_lock)
            m_lock->Lock();
    }
    ~CDatabaseLockGuard()
    {
        if (m_lock)
            m_lock->Unlock();
    }
    CDatabaseLockGuard(const CDatabaseLockGuard&) = delete;
    CDatabaseLockGuard& operator=(const CDatabaseLockGuard&) = delete;

private:
    CLockManager* m_lock;
};

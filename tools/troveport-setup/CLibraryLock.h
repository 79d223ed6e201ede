#pragma once

#include <QString>

// Lets one troveport-setup run at a time change a library. It is a file of its own beside the table,
// "Filearea.lock", because every save replaces the table: a lock held on the table's old file keeps
// out nobody who opens the new one. Held from before the library is read until every change is in
// place; a run that finds it taken waits for the other run to finish.
class CLibraryLock
{
public:
    // Far longer than any command takes, short of looking hung.
    static constexpr int kWaitSeconds = 60;

    CLibraryLock() = default;
    ~CLibraryLock();
    CLibraryLock(const CLibraryLock&) = delete;
    CLibraryLock& operator=(const CLibraryLock&) = delete;

    static QString LockFileName(const QString& databaseDirectory);

    // Waits up to kWaitSeconds for the lock; false, with the reason, when it cannot be had.
    bool Acquire(const QString& databaseDirectory, QString* error);
    void Release();
    bool IsHeld() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

#pragma once

#include "controls/CHandleMap.h"
#include "controls/CTreeItem.h"

#include <QMutex>
#include <QRecursiveMutex>
#include <QSemaphore>
#include <QWaitCondition>

#include <atomic>

// Owns every node of the tree and knows each under a handle. Add, Remove and Lookup are safe
// from any thread: writers exclude readers, and new readers wait while a writer holds the lock.
// The thread that holds the write lock may also look items up.
class CTreeItemRegistry
{
public:
    CTreeItemRegistry();
    ~CTreeItemRegistry();
    CTreeItemRegistry(const CTreeItemRegistry&) = delete;
    CTreeItemRegistry& operator=(const CTreeItemRegistry&) = delete;

    // Registers the item under a new handle and appends it to its parent's children (the invisible
    // root when parent is null). Returns the handle, 0 when the item is not a live CTreeItem.
    quint32 Add(CTreeItem* parent, CTreeItem* item);
    // Forgets the item's handle and, when detach is set, takes it out of its parent's children.
    // The item is not deleted.
    void Remove(CTreeItem* item, bool detach);
    CTreeItem* Lookup(quint32 handle);
    CFolderTreeItem* LookupFolder(quint32 handle) { return dynamic_cast<CFolderTreeItem*>(Lookup(handle)); }

    // Deletes every tree registered so far.
    void DeleteAll();
    qsizetype GetCount();

    void WriteLock();
    void WriteUnlock();
    void ReadLock();
    void ReadUnlock();

private:
    void SetNoWriter(bool set);

    std::atomic<int> m_readers{-1};
    int m_writers = 0;
    std::atomic<Qt::HANDLE> m_writerThread{nullptr};
    QMutex m_eventMutex;
    QWaitCondition m_noWriterChanged;
    bool m_noWriter = true;
    // Entered by the first reader and left by the last, who may be another thread: a semaphore.
    QSemaphore m_dataLock{1};
    QRecursiveMutex m_writerGate;
    CTreeItem m_invisibleRoot;
    CHandleMap m_handles;
};

extern CTreeItemRegistry theTreeItemRegistry;

class CRegistryWriteLock
{
public:
    explicit CRegistryWriteLock(CTreeItemRegistry& registry) : m_registry(registry) { m_registry.WriteLock(); }
    ~CRegistryWriteLock() { m_registry.WriteUnlock(); }
    CRegistryWriteLock(const CRegistryWriteLock&) = delete;
    CRegistryWriteLock& operator=(const CRegistryWriteLock&) = delete;

private:
    CTreeItemRegistry& m_registry;
};

#include "controls/CTreeItemRegistry.h"

#include <QThread>

CTreeItemRegistry theTreeItemRegistry;

namespace {
// Reads made by the thread that holds the write lock: they neither wait nor count as readers.
thread_local int t_readsUnderWrite = 0;
} // namespace

CTreeItemRegistry::CTreeItemRegistry() = default;

CTreeItemRegistry::~CTreeItemRegistry()
{
    DeleteAll();
}

void CTreeItemRegistry::SetNoWriter(bool set)
{
    QMutexLocker lock(&m_eventMutex);
    m_noWriter = set;
    if (set)
        m_noWriterChanged.wakeAll();
}

void CTreeItemRegistry::WriteLock()
{
    m_writerGate.lock();
    if (++m_writers == 1) {
        SetNoWriter(false);
        m_dataLock.acquire(); // waits for the last reader to leave
        m_writerThread = QThread::currentThreadId();
    }
}

void CTreeItemRegistry::WriteUnlock()
{
    if (--m_writers == 0) {
        m_writerThread = nullptr;
        m_dataLock.release();
        SetNoWriter(true);
    }
    m_writerGate.unlock();
}

void CTreeItemRegistry::ReadLock()
{
    if (m_writerThread == QThread::currentThreadId()) {
        ++t_readsUnderWrite;
        return;
    }
    m_writerGate.lock();
    {
        QMutexLocker lock(&m_eventMutex);
        while (!m_noWriter)
            m_noWriterChanged.wait(&m_eventMutex);
    }
    if (++m_readers == 0)
        m_dataLock.acquire();
    m_writerGate.unlock();
}

void CTreeItemRegistry::ReadUnlock()
{
    if (t_readsUnderWrite > 0) {
        --t_readsUnderWrite;
        return;
    }
    if (--m_readers < 0)
        m_dataLock.release();
}

quint32 CTreeItemRegistry::Add(CTreeItem* parent, CTreeItem* item)
{
    CRegistryWriteLock lock(*this);
    if (!parent && item != &m_invisibleRoot)
        parent = &m_invisibleRoot;
    if (!CTreeItem::IsValidItem(item))
        return 0;
    const quint32 handle = m_handles.Add(item);
    if (handle) {
        item->SetHandle(handle);
        if (CTreeItem::IsValidItem(parent)) {
            item->SetParent(parent);
            parent->AppendChild(item);
        }
    }
    return handle;
}

void CTreeItemRegistry::Remove(CTreeItem* item, bool detach)
{
    CRegistryWriteLock lock(*this);
    if (!CTreeItem::IsValidItem(item))
        return;
    m_handles.Remove(item->GetHandle());
    item->SetHandle(0); // no longer registered: its deletion has nothing more to undo here
    if (detach && CTreeItem::IsValidItem(item->GetParent()))
        item->GetParent()->RemoveChild(item);
}

CTreeItem* CTreeItemRegistry::Lookup(quint32 handle)
{
    ReadLock();
    CTreeItem* item = m_handles.Lookup(handle);
    ReadUnlock();
    return item;
}

void CTreeItemRegistry::DeleteAll()
{
    CRegistryWriteLock lock(*this);
    m_invisibleRoot.DeleteChildren();
}

qsizetype CTreeItemRegistry::GetCount()
{
    ReadLock();
    const qsizetype count = m_handles.GetCount();
    ReadUnlock();
    return count;
}

#include "database/CKeyLoader.h"

#include "database/CDatabaseManager.h"
#include "database/CDBException.h"
#include "database/CSqliteStatement.h"

#include <QMutexLocker>
#include <QScopeGuard>
#include <QThread>

#include <algorithm>

#include <sqlite3.h>

CKeyLoader::CKeyLoader(CDatabaseManager* manager, QObject* parent)
    : QObject(parent), m_manager(manager), m_thread(new QThread(this)), m_worker(new QObject)
{
    m_thread->setObjectName(QStringLiteral("Key loader"));
    m_worker->moveToThread(m_thread);
    m_thread->start();
}

CKeyLoader::~CKeyLoader()
{
    Stop();
    m_thread->quit();
    m_thread->wait();
    delete m_worker; // its thread has ended: nothing of it runs any more
}

void CKeyLoader::Start(const QString& keyStatement, const QVariantList& values)
{
    Stop();
    const quint64 generation = m_generation.load();
    m_loading = true;
    QMetaObject::invokeMethod(
        m_worker, [this, generation, keyStatement, values] { Load(generation, keyStatement, values); },
        Qt::QueuedConnection);
}

void CKeyLoader::Stop()
{
    ++m_generation;
    m_loading = false;
    QMutexLocker lock(&m_mutex);
    m_gateOpened.wakeAll();
    // The statement ends with an error at its next step, which the worker drops as the load is no
    // longer current; a late interrupt is cleared by SQLite when the next statement starts.
    if (m_running)
        sqlite3_interrupt(m_running);
}

void CKeyLoader::SetChunkSizes(size_t first, size_t later)
{
    m_firstChunk = qMax<size_t>(first, 1);
    m_chunk = qMax<size_t>(later, 1);
}

void CKeyLoader::HoldChunks(bool hold)
{
    QMutexLocker lock(&m_mutex);
    m_held = hold;
    m_releasedChunks = 0;
    m_gateOpened.wakeAll();
}

void CKeyLoader::ReleaseChunks(int chunks)
{
    QMutexLocker lock(&m_mutex);
    m_releasedChunks += chunks;
    m_gateOpened.wakeAll();
}

bool CKeyLoader::PassGate(quint64 generation)
{
    QMutexLocker lock(&m_mutex);
    while (m_held && m_releasedChunks == 0 && IsCurrent(generation))
        m_gateOpened.wait(&m_mutex);
    if (m_held && m_releasedChunks > 0)
        --m_releasedChunks;
    while (m_inFlight == generation && IsCurrent(generation))
        m_gateOpened.wait(&m_mutex);
    if (!IsCurrent(generation))
        return false;
    m_inFlight = generation;
    return true;
}

void CKeyLoader::SetRunning(sqlite3* handle)
{
    QMutexLocker lock(&m_mutex);
    m_running = handle;
}

void CKeyLoader::HandOver(quint64 generation, std::vector<qint64>& keys)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation, chunk = std::move(keys)] {
            if (IsCurrent(generation))
                emit KeysRead(chunk);
            QMutexLocker lock(&m_mutex);
            if (m_inFlight == generation)
                m_inFlight = 0;
            m_gateOpened.wakeAll();
        },
        Qt::QueuedConnection);
    keys = {};
    ++m_handedOver;
}

void CKeyLoader::Load(quint64 generation, const QString& statement, const QVariantList& values)
{
    if (!IsCurrent(generation))
        return;
    // Each load is asked for by the user (a refresh, a node selected): a server lost before is
    // tried again, as the window does.
    m_manager->Reconnect();
    std::vector<qint64> keys;
    size_t limit = m_firstChunk;
    size_t handedOver = 0;
    bool stopped = false;
    // True while the load goes on; hands over a full chunk first.
    const auto take = [&](qint64 key) {
        if (stopped)
            return false;
        keys.push_back(key);
        if (keys.size() < limit)
            return true;
        if (!PassGate(generation)) {
            stopped = true;
            return false;
        }
        handedOver += keys.size();
        HandOver(generation, keys);
        limit = std::clamp(handedOver, size_t(m_chunk), std::max(kMaxChunk, size_t(m_chunk)));
        return true;
    };
    QString error;
    try {
        // Stop interrupts an SQLite statement while it runs, and only then. A server's whole result
        // is at hand before the first key: a stopped load drops the rest.
        SetRunning(SqliteHandle(m_manager->GetConnection()));
        const auto notRunning = qScopeGuard([this] { SetRunning(nullptr); });
        m_manager->Engine().ForEachKey(*m_manager, statement, values,
                                       [&](qint64 key) { return IsCurrent(generation) && take(key); });
    } catch (const CDBException& e) {
        if (!IsCurrent(generation))
            return; // interrupted: nobody waits for it
        error = e.GetErrorText();
        m_manager->LogError(error);
    }
    // The end passes the gate too, so that a test can look at a load that has found nothing yet.
    if (stopped || !PassGate(generation))
        return;
    if (!keys.empty())
        HandOver(generation, keys);
    QMetaObject::invokeMethod(
        this,
        [this, generation, error] {
            {
                QMutexLocker lock(&m_mutex);
                if (m_inFlight == generation)
                    m_inFlight = 0; // the end passed the gate without a chunk
            }
            if (!IsCurrent(generation))
                return;
            m_loading = false;
            emit Finished(error);
        },
        Qt::QueuedConnection);
}

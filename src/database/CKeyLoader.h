#pragma once

#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QWaitCondition>

#include <atomic>
#include <vector>

class CDatabaseManager;
class QThread;
struct sqlite3;

// Reads the keys of a key statement (an area's files, a search's) on a worker thread with that
// thread's own connection, and hands them to the thread that made the loader in chunks, in the
// statement's order: the first chunk small, so that a list can show its first screen at once. The
// thread that made the loader never waits for the database.
//
// One load runs at a time: starting another, or stopping, ends the one running (an SQLite statement
// is interrupted; a server's result is read to its end and dropped), and nothing more of it arrives.
//
// One chunk at most is on its way: the worker sends the next when the window has taken the last, so
// a busy window never finds several chunks to take at once. Later chunks grow with the keys handed
// over so far (each list laid out again costs as much as the whole list), up to kMaxChunk.
class CKeyLoader : public QObject
{
    Q_OBJECT

public:
    static constexpr size_t kFirstChunk = 1024;
    static constexpr size_t kChunk = 65536;
    static constexpr size_t kMaxChunk = 262144;

    explicit CKeyLoader(CDatabaseManager* manager, QObject* parent = nullptr);
    // Stops the running load and waits for the worker to end.
    ~CKeyLoader() override;

    void Start(const QString& keyStatement, const QVariantList& values);
    void Stop();
    bool IsLoading() const { return m_loading; }

    // For tests: keys per chunk (the first one, and the least of every later one); and a hold of the worker
    // before it hands over each chunk, which lets a test look at a load midway without timing.
    void SetChunkSizes(size_t first, size_t later);
    void HoldChunks(bool hold);
    void ReleaseChunks(int chunks);
    // Chunks the worker has sent so far, whether or not they have arrived.
    int ChunksHandedOver() const { return m_handedOver; }

signals:
    // The next keys of the running load, on the thread that made the loader.
    void KeysRead(const std::vector<qint64>& keys);
    // The running load read its last key (error empty), or failed with the database's reason after
    // the keys already handed over. A stopped load never finishes.
    void Finished(const QString& error);

private:
    void Load(quint64 generation, const QString& statement, const QVariantList& values);
    // Waits while chunks are held, and then until the last chunk has been taken; false when the load
    // was stopped meanwhile.
    bool PassGate(quint64 generation);
    void HandOver(quint64 generation, std::vector<qint64>& keys);
    bool IsCurrent(quint64 generation) const { return m_generation.load() == generation; }
    void SetRunning(sqlite3* handle);

    CDatabaseManager* m_manager;
    QThread* m_thread;
    QObject* m_worker; // lives on m_thread: the jobs run in its event loop
    std::atomic<quint64> m_generation{0};
    bool m_loading = false;
    std::atomic<int> m_handedOver{0};
    std::atomic<size_t> m_firstChunk{kFirstChunk};
    std::atomic<size_t> m_chunk{kChunk};

    QMutex m_mutex; // guards what follows
    QWaitCondition m_gateOpened;
    bool m_held = false;
    int m_releasedChunks = 0;
    sqlite3* m_running = nullptr; // the SQLite handle a statement of the worker runs on
    quint64 m_inFlight = 0;       // the load whose last chunk sent has not been taken yet; 0: none
};

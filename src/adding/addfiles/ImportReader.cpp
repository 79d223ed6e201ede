#include "adding/addfiles/ImportReader.h"

CImportReader::CImportReader(const QStringList& files, const AddFilesHost& host, bool extractDescriptions,
                             const CSafeDirectory& hostDirectory)
    : m_files(files), m_host(host), m_extractDescriptions(extractDescriptions), m_hostDirectory(hostDirectory),
      m_thread([this] { Run(); })
{
}

CImportReader::~CImportReader()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void CImportReader::Run()
{
    for (const QString& path : m_files) {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stop || m_ready.size() < kDepth; });
            if (m_stop)
                return;
        }
        PreparedFile file = PrepareFile(path, m_host, m_areas, m_extractDescriptions, &m_hostDirectory);
        {
            const std::lock_guard lock(m_mutex);
            m_ready.push_back(std::move(file));
        }
        m_changed.notify_all();
    }
}

PreparedFile CImportReader::Take()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_ready.empty(); });
    PreparedFile file = std::move(m_ready.front());
    m_ready.pop_front();
    lock.unlock();
    m_changed.notify_all();
    return file;
}

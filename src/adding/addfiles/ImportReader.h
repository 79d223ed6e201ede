#pragma once

#include "adding/addfiles/AddFilesImport.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// The reading stage of an import on a thread of its own: prepares the files of a list in order
// (PrepareFile) at most a couple ahead of the one that takes them, so that opening a file,
// extracting its descriptions and writing its copy overlap with storing the one before. It touches
// neither the database nor any name in the host directory. Destroying it stops the thread, closes
// what it opened and removes the copies it wrote that nobody took.
class CImportReader
{
public:
    static constexpr std::size_t kDepth = 2;

    // hostDirectory, where copies are written ahead, must outlive the reader.
    CImportReader(const QStringList& files, const AddFilesHost& host, bool extractDescriptions,
                  const CSafeDirectory& hostDirectory);
    ~CImportReader();
    CImportReader(const CImportReader&) = delete;
    CImportReader& operator=(const CImportReader&) = delete;

    // The next file of the list, waiting until it is read. Called at most once for each file.
    PreparedFile Take();

private:
    void Run();

    const QStringList m_files;
    const AddFilesHost m_host;
    const bool m_extractDescriptions;
    const CAreaDirectories m_areas;
    const CSafeDirectory& m_hostDirectory;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<PreparedFile> m_ready;
    bool m_stop = false;
    std::thread m_thread; // last: starts when everything it uses is in place
};

#pragma once

#include "adding/addfiles/AddFilesImport.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// The reading stage of an import on a thread of its own: prepares the files of a list in order
// (PrepareFile) at most a couple ahead of the one that takes them, so that opening a file and
// extracting its descriptions overlap with copying and storing the one before. It touches neither
// the database nor the host directory. Destroying it stops the thread and closes what it opened
// and nobody took.
class CImportReader
{
public:
    static constexpr std::size_t kDepth = 2;

    CImportReader(const QStringList& files, const AddFilesHost& host, bool extractDescriptions);
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

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<PreparedFile> m_ready;
    bool m_stop = false;
    std::thread m_thread; // last: starts when everything it uses is in place
};

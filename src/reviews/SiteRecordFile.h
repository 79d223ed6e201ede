#pragma once

#include "files/SafeFiles.h"

#include <QByteArray>
#include <QString>

#include <memory>

class CLockFile;

// One of the record files in the web root's reviews/ directory (a review file, submissions.txt),
// which the web site writes too. reviews/ is entered without following a link, and every open,
// write, rename and delete there goes through the directory's descriptor (files/SafeFiles.h). The
// site and the explorer take turns on "<file>.lock" beside the file (docs/submissions.md). What
// goes wrong is told as a message that names the file. The explorer's own notes of posted
// submissions (PostedSubmissions.h), beside the database, are kept the same way.
class CSiteRecordFile
{
public:
    // Files are read up to this; a larger one is read in part and never written back from what
    // was read, so that a runaway or hostile file cannot exhaust memory.
    static constexpr qint64 kReadLimit = 4 * 1024 * 1024;

    // path is "<web root>reviews/<name>": the web root is the administrator's and its links are
    // followed; the directory that holds the file is entered from it without following one.
    explicit CSiteRecordFile(const QString& path);
    // A file of the explorer's own in a directory of the administrator's (the database directory):
    // the directory's path is followed as it stands, links and all.
    CSiteRecordFile(const QString& directory, const QByteArray& name);
    ~CSiteRecordFile();
    CSiteRecordFile(const CSiteRecordFile&) = delete;
    CSiteRecordFile& operator=(const CSiteRecordFile&) = delete;

    // Takes the site's lock for as long as this object lives. A reader may go on without it.
    bool Lock();
    // Reads the file, up to kReadLimit. An absent file is read as empty. False when the file is
    // refused (a link, not a regular file) or cannot be read.
    bool Read();
    const QByteArray& Data() const { return m_data; }
    // False when the file held more than kReadLimit: Data() is its beginning.
    bool IsWhole() const { return m_whole; }
    // Read, refusing a file larger than kReadLimit: one that is to be written back whole.
    bool ReadWhole();

    // Puts bytes in place of the file, followed by what lies past the part Read took: a new file
    // renamed over the old one, which stays as it was when anything fails. A file left with no
    // bytes at all is deleted.
    bool Replace(const QByteArray& bytes);
    // Adds bytes at the end of the file in one write, creating it when it is absent. A write that
    // does not land whole is taken back.
    bool Append(QByteArray bytes);

    // False, after giving *problem (when asked for) why the last operation failed.
    bool Failed(QString* problem) const
    {
        if (problem)
            *problem = m_problem;
        return false;
    }

private:
    bool Fail(const FileFault& fault);
    bool Fail(const QString& problem);

    QByteArray m_name; // before m_directory, which is opened with it
    CSafeDirectory m_directory;
    std::unique_ptr<CLockFile> m_lock;
    CSafeFile m_file; // open after Read, for what lies past the limit
    QByteArray m_data;
    bool m_whole = true;
    QString m_problem; // names the file
};

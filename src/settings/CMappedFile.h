#pragma once

#include <QString>
#include <QtGlobal>

// A file of fixed-size records mapped into memory. A read-only file is shared with other readers
// and kept from writers; a writable one is held exclusively. The locks are advisory (flock), the
// protocol that troveport-setup and the explorer both follow.
class CMappedFile
{
public:
    // Without createMissing, opening never makes a file: one that is only ever read elsewhere (a
    // group file) must not appear because it was looked for.
    CMappedFile(quint32 recordSize, bool writable, bool createMissing = true);
    virtual ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    // Opens the file, creating it empty when missing (unless told not to), and grows it with zero
    // bytes to at least minimumRecordCount records. False when the file cannot be opened or locked (another program
    // holds it for writing, or, for a writable file, holds it at all), or cannot be grown or mapped.
    bool Open(const QString& fileName, quint32 minimumRecordCount = 0);
    void Close();

    bool IsOpen() const { return m_fd >= 0; }
    // Record i starts i * GetRecordSize() bytes after the view; none when the file is empty.
    const uchar* GetData() const { return m_view; }
    uchar* GetWritableData() const { return m_writable ? m_view : nullptr; }
    quint32 GetRecordCount() const { return m_recordCount; }
    quint32 GetRecordSize() const { return m_recordSize; }
    // The open file descriptor, or -1; for checks such as "is this still the file at the path".
    int GetHandle() const { return m_fd; }

protected:
    // Called at the end of every successful Open, and by Close before an open file goes, so that a
    // derived table can keep what it works out from the records in step with them.
    virtual void Opened() {}
    virtual void Closing() {}

private:
    const quint32 m_recordSize;
    const bool m_writable;
    const bool m_createMissing;
    quint32 m_recordCount = 0;
    int m_fd = -1;
    uchar* m_view = nullptr;
    size_t m_mappedSize = 0;
};

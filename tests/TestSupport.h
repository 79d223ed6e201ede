#pragma once

// Helpers shared by the tests: temporary settings files, raw library files, and a lock held by
// another process.

#include "settings/CFileAreaTable.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QtEndian>
#include <QTest>

#include <csignal>
#include <cstring>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace TestSupport {

// Points the machine and user settings into dir, so no test touches real settings.
inline void UseSettingsFilesIn(const QString& dir)
{
    qputenv("TROVEPORT_MACHINE_REG", QFile::encodeName(dir + u"/machine.reg"_s));
    qputenv("TROVEPORT_USER_REG", QFile::encodeName(dir + u"/user.reg"_s));
}

inline void WriteFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(data), data.size());
}

inline QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every entry of a directory, hidden ones included, by name.
inline QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

// One raw 868-byte area record.
inline QByteArray AreaRecord(quint32 id, const QByteArray& name, const QByteArray& path = "/srv/files",
                             quint32 flags = kAreaAllowDownloads)
{
    QByteArray raw(int(sizeof(FileAreaRecord)), '\0');
    auto* r = reinterpret_cast<FileAreaRecord*>(raw.data());
    r->SetAreaId(id);
    std::memcpy(r->name, name.constData(), size_t(qMin<qsizetype>(name.size(), FileAreaRecord::kNameSize)));
    std::memcpy(r->path, path.constData(), size_t(qMin<qsizetype>(path.size(), FileAreaRecord::kPathSize)));
    r->SetFlags(flags);
    return raw;
}

// The bytes of a group file listing these area ids.
inline QByteArray GroupIds(std::initializer_list<quint32> ids)
{
    QByteArray data;
    for (quint32 id : ids) {
        char bytes[4];
        qToLittleEndian(id, bytes);
        data.append(bytes, 4);
    }
    return data;
}

inline QByteArray HeaderRecord()
{
    return QByteArray(int(sizeof(FileAreaRecord)), '\x7f');
}

// Holds an exclusive flock on a file from another process, as troveport-setup does while it
// rewrites the table, until the object is destroyed.
class CForeignLock
{
public:
    explicit CForeignLock(const QString& path)
    {
        m_process.start(u"flock"_s, {u"-x"_s, path, u"sh"_s, u"-c"_s, u"echo locked; read line"_s});
        m_locked = m_process.waitForReadyRead(10000) && m_process.readAll().startsWith("locked");
    }
    ~CForeignLock()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
    }
    bool IsLocked() const { return m_locked; }

private:
    QProcess m_process;
    bool m_locked = false;
};

// While it lives, no file of this process can grow past the limit: writes past it fail with EFBIG,
// as they would with ENOSPC on a full disk. IsSet is false where the system refuses the limit.
class CFileSizeLimit
{
public:
    explicit CFileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (::getrlimit(RLIMIT_FSIZE, &m_old) != 0)
            return;
        struct rlimit lower = m_old;
        lower.rlim_cur = bytes;
        m_set = ::setrlimit(RLIMIT_FSIZE, &lower) == 0;
    }
    ~CFileSizeLimit()
    {
        if (m_set)
            ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;

    bool IsSet() const { return m_set; }

private:
    struct rlimit m_old = {};
    void (*m_oldHandler)(int) = SIG_DFL;
    bool m_set = false;
};

} // namespace TestSupport

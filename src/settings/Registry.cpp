#include "settings/Registry.h"

#include "files/FileMode.h"
#include "files/SafeFiles.h"
#include "settings/CLockFile.h"
#include "settings/CRegFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QStandardPaths>
#include <QtEndian>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

struct ResolvedKey
{
    RegRoot root;
    QString section; // full key name as the file writes it
};

ResolvedKey ResolveKey(const QString& keyPath)
{
    // The prefix is matched exactly: "hklm\..." is a key under the user's root, as on Windows.
    RegRoot root = RegRoot::User;
    QString sub = keyPath;
    if (keyPath.startsWith(QLatin1String("HKLM\\"))) {
        root = RegRoot::Machine;
        sub = keyPath.mid(5);
    } else if (keyPath.startsWith(QLatin1String("HKCU\\"))) {
        sub = keyPath.mid(5);
    }
    while (sub.endsWith(QLatin1Char('\\')))
        sub.chop(1);
    QString section =
        root == RegRoot::Machine ? QStringLiteral("HKEY_LOCAL_MACHINE") : QStringLiteral("HKEY_CURRENT_USER");
    if (!sub.isEmpty())
        section += QLatin1Char('\\') + sub;
    return {root, section};
}

// A settings file is a few hundred bytes; anything beyond this is not one and reads as absent.
// Reading is linear in the size and keeps little beyond the bytes themselves, so the limit only
// bounds the memory a stray file can take (the file's bytes and one small entry a value or section).
constexpr qint64 kMaxSettingsFileSize = 16 * 1024 * 1024;

// File times are kept in coarse steps: a clock tick on local file systems, a second or two on some
// network and FAT ones. A file changed less than this long before a read began may change again
// without its times showing it, so what was read from it is not cached.
constexpr qint64 kSettledNanoseconds = 2'000'000'000;

std::atomic<quint64> g_parseCount{0};

qint64 Nanoseconds(const timespec& t)
{
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

// What identifies an unchanged file: any change of its bytes or its inode changes at least the
// change time, and a file replaced by rename is another inode.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 modified = 0; // nanoseconds
    qint64 changed = 0;  // nanoseconds

    explicit FileIdentity(const struct stat& st)
        : device(st.st_dev), inode(st.st_ino), size(st.st_size), modified(Nanoseconds(st.st_mtim)),
          changed(Nanoseconds(st.st_ctim))
    {
    }
    bool operator==(const FileIdentity&) const = default;
};

// Reads a settings file's bytes: a regular file of at most kMaxSettingsFileSize bytes. On success
// *after is the file as it was when the reading ended; on failure the result is none and *error
// says why (ENOENT for a file that does not exist).
std::optional<QByteArray> ReadSettingsBytes(const QString& path, struct stat* after, int* error)
{
    // Non-blocking, so that a FIFO where the file should be fails at once instead of hanging.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        *error = errno;
        return std::nullopt;
    }
    std::optional<QByteArray> bytes;
    struct stat st = {};
    if (::fstat(fd, &st) != 0) {
        *error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        *error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    } else if (st.st_size > kMaxSettingsFileSize) {
        *error = EFBIG;
    } else {
        // At most one byte past the limit, however the file grows meanwhile.
        QByteArray data(qsizetype(st.st_size) + 1, Qt::Uninitialized);
        qsizetype got = 0;
        while (got <= kMaxSettingsFileSize) {
            if (got == data.size())
                data.resize(qMin<qsizetype>(data.size() * 2, kMaxSettingsFileSize + 1));
            const ssize_t n = ::read(fd, data.data() + got, size_t(data.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                *error = errno;
                break;
            }
            if (n == 0) {
                data.truncate(got);
                bytes = std::move(data);
                break;
            }
            got += n;
        }
        if (!bytes && got > kMaxSettingsFileSize)
            *error = EFBIG;
        if (bytes && ::fstat(fd, after) != 0) {
            *error = errno;
            bytes.reset();
        }
    }
    ::close(fd);
    return bytes;
}

// Parsed settings files by path, for as long as the file stays the same. Reads happen several times
// a second and may come from any thread.
class CSettingsCache
{
public:
    std::shared_ptr<const CRegFile> Load(const QString& path)
    {
        struct stat st = {};
        if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode) ||
            st.st_size > kMaxSettingsFileSize) {
            Forget(path);
            return nullptr;
        }
        {
            QMutexLocker locker(&m_mutex);
            const auto it = m_files.constFind(path);
            if (it != m_files.cend() && it->identity == FileIdentity(st))
                return it->doc;
        }

        timespec now = {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        const qint64 readStart = Nanoseconds(now);
        struct stat after = {};
        int error = 0;
        const auto bytes = ReadSettingsBytes(path, &after, &error);
        if (!bytes) {
            Forget(path);
            return nullptr;
        }
        auto doc = std::make_shared<CRegFile>();
        doc->Parse(*bytes);
        ++g_parseCount;

        const FileIdentity identity(after);
        QMutexLocker locker(&m_mutex);
        if (qMax(identity.changed, identity.modified) < readStart - kSettledNanoseconds) {
            if (m_files.size() >= kMaxFiles && !m_files.contains(path))
                m_files.clear();
            m_files.insert(path, {identity, doc});
        } else {
            m_files.remove(path);
        }
        return doc;
    }

    void Forget(const QString& path)
    {
        QMutexLocker locker(&m_mutex);
        m_files.remove(path);
    }

private:
    // Two roots; more paths only when the environment names other files (tests do).
    static constexpr qsizetype kMaxFiles = 8;

    struct Entry
    {
        FileIdentity identity;
        std::shared_ptr<const CRegFile> doc;
    };
    QMutex m_mutex;
    QHash<QString, Entry> m_files;
};

CSettingsCache& TheSettingsCache()
{
    static CSettingsCache cache;
    return cache;
}

} // namespace

QString RegistryFileForRoot(RegRoot root)
{
    if (root == RegRoot::Machine) {
        const QString env = qEnvironmentVariable("TROVEPORT_MACHINE_REG");
        return env.isEmpty() ? QStringLiteral("/etc/troveport/machine.reg") : env;
    }
    const QString env = qEnvironmentVariable("TROVEPORT_USER_REG");
    if (!env.isEmpty())
        return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/troveport/user.reg");
}

namespace {

// The stored bytes of a value of the expected type, or none.
std::optional<QByteArray> ReadStoredValue(const QString& keyPath, const QString& valueName, RegType type)
{
    const ResolvedKey key = ResolveKey(keyPath);
    const auto doc = TheSettingsCache().Load(RegistryFileForRoot(key.root));
    if (!doc)
        return std::nullopt;
    const auto value = doc->Find(key.section, valueName);
    const CRegFile::ValueType expected =
        type == RegType::String ? CRegFile::ValueType::String : CRegFile::ValueType::Dword;
    if (!value || value->type != expected)
        return std::nullopt;
    return value->data;
}

long WriteValueLocked(const QString& path, const QString& section, RegType type, const QString& valueName,
                      const QByteArray& bytes)
{
    // Read afresh under the lock so that values written meanwhile by another process are kept.
    CRegFile doc;
    struct stat st = {};
    int error = 0;
    if (const auto current = ReadSettingsBytes(path, &st, &error))
        doc.Parse(*current);
    else if (error != ENOENT)
        return error == EFBIG ? EACCES : error;
    doc.Set(section, valueName,
            type == RegType::String ? CRegFile::ValueType::String : CRegFile::ValueType::Dword, bytes);

    // A settings file kept elsewhere behind a link (dotfiles under version control) is the
    // administrator's choice: the file it leads to is the one replaced, and the link stays.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    const QFileInfo target(canonical.isEmpty() ? path : canonical);
    const CSafeDirectory directory = CSafeDirectory::Open(target.absolutePath());
    CFileReplacement out(directory, QFile::encodeName(target.fileName()), DefaultFileMode());
    if (out.Write(doc.Serialize()) && out.Commit())
        return kRegSuccess;
    return out.Fault().error ? out.Fault().error : EIO;
}

} // namespace

bool RegReadValue(const QString& keyPath, const QString& valueName, RegType type, void* buffer,
                  quint32 bufferSize)
{
    const auto data = ReadStoredValue(keyPath, valueName, type);
    if (!data || quint64(data->size()) > bufferSize || !buffer)
        return false;
    std::memcpy(buffer, data->constData(), size_t(data->size()));
    return true;
}

long RegWriteValue(const QString& keyPath, const QString& valueName, RegType type, const void* data,
                   quint32 size)
{
    // Everything that makes a write impossible is refused before anything is touched.
    if ((type == RegType::Dword && size != 4) || (!data && size != 0))
        return EINVAL;
    // A line break would split the file's line and a "]" would end the section name early.
    for (QChar c : keyPath + valueName) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar(0))
            return EINVAL;
    }
    if (keyPath.contains(QLatin1Char(']')))
        return EINVAL;
    const QByteArray bytes(static_cast<const char*>(data), qsizetype(size));

    const ResolvedKey key = ResolveKey(keyPath);
    const QString path = RegistryFileForRoot(key.root);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return EACCES;
    CLockFile lock(path);
    if (!lock.IsLocked())
        return lock.Error() ? lock.Error() : EACCES;
    const long result = WriteValueLocked(path, key.section, type, valueName, bytes);
    // The next read reads the file again, whatever its times say.
    TheSettingsCache().Forget(path);
    return result;
}

quint64 RegSettingsParseCount()
{
    return g_parseCount.load();
}

bool RegReadString(const QString& valueName, QString& value, quint32 bufferSize, const QString& keyPath)
{
    const auto data = ReadStoredValue(keyPath, valueName, RegType::String);
    if (!data || quint64(data->size()) > bufferSize)
        return false;
    value = QString::fromUtf8(data->constData(), qstrnlen(data->constData(), size_t(data->size())));
    return true;
}

QString RegGetString(const QString& valueName, const QString& keyPath)
{
    QString value;
    if (RegReadString(valueName, value, kMaxSettingString, keyPath))
        return value;
    // Not there is the usual case; too long is the administrator's mistake and must not go unseen.
    if (ReadStoredValue(keyPath, valueName, RegType::String))
        qWarning("The setting %s is longer than %u bytes and was not used.", qPrintable(valueName),
                 unsigned(kMaxSettingString));
    return QString();
}

bool RegReadDword(const QString& valueName, quint32* value, const QString& keyPath)
{
    uchar bytes[4];
    if (!value || !RegReadValue(keyPath, valueName, RegType::Dword, bytes, sizeof bytes))
        return false;
    *value = qFromLittleEndian<quint32>(bytes);
    return true;
}

long RegWriteString(const QString& valueName, const QString& text, const QString& keyPath)
{
    QByteArray bytes = text.toUtf8();
    bytes += '\0';
    return RegWriteValue(keyPath, valueName, RegType::String, bytes.constData(), quint32(bytes.size()));
}

long RegWriteDword(const QString& valueName, quint32 value, const QString& keyPath)
{
    uchar bytes[4];
    qToLittleEndian(value, bytes);
    return RegWriteValue(keyPath, valueName, RegType::Dword, bytes, sizeof bytes);
}

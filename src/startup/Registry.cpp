#include "startup/Registry.h"

#include "startup/CRegFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
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

// Read afresh at every point of use: the files are a few lines long, and settings changed by
// troveport-setup must be seen by the next command.
// A settings file is a few hundred bytes; anything beyond this is not one and reads as absent.
constexpr qint64 kMaxSettingsFileSize = 16 * 1024 * 1024;

std::optional<CRegFile> LoadFile(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || file.size() > kMaxSettingsFileSize || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    CRegFile doc;
    doc.Parse(file.readAll());
    return doc;
}

// Serialises writers of one settings file, across processes: the lock is held on the directory
// because the file itself is replaced by rename on every write.
class CDirectoryLock
{
public:
    explicit CDirectoryLock(const QString& dir)
    {
        m_fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd >= 0 && ::flock(m_fd, LOCK_EX) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~CDirectoryLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool IsLocked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

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
    const auto doc = LoadFile(RegistryFileForRoot(key.root));
    if (!doc)
        return std::nullopt;
    const auto value = doc->Find(key.section, valueName);
    const CRegFile::ValueType expected =
        type == RegType::String ? CRegFile::ValueType::String : CRegFile::ValueType::Dword;
    if (!value || value->type != expected)
        return std::nullopt;
    return value->data;
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
    // A line break would split the file's line and a "]" would end the section name early.
    for (QChar c : keyPath + valueName) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar(0))
            return EINVAL;
    }
    if (keyPath.contains(QLatin1Char(']')))
        return EINVAL;
    const ResolvedKey key = ResolveKey(keyPath);
    const QString path = RegistryFileForRoot(key.root);
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir))
        return EACCES;
    CDirectoryLock lock(dir);
    if (!lock.IsLocked())
        return errno ? errno : EACCES;

    // Read afresh under the lock so that values written meanwhile by another process are kept.
    CRegFile doc;
    QFile current(path);
    if (current.exists()) {
        if (current.size() > kMaxSettingsFileSize || !current.open(QIODevice::ReadOnly))
            return EACCES;
        doc.Parse(current.readAll());
        current.close();
    }
    const QByteArray bytes(static_cast<const char*>(data), qsizetype(size));
    if (type == RegType::Dword && bytes.size() != 4)
        return EINVAL;
    doc.Set(key.section, valueName,
            type == RegType::String ? CRegFile::ValueType::String : CRegFile::ValueType::Dword, bytes);

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return EACCES;
    out.write(doc.Serialize());
    return out.commit() ? kRegSuccess : EIO;
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
    if (!RegReadString(valueName, value, 260, keyPath))
        return QString();
    return value;
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

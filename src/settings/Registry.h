#pragma once

#include <QByteArray>
#include <QString>

// The settings store. Keys are named by paths beginning "HKLM\" (the machine root, written by
// troveport-setup) or "HKCU\" (the user's own root); a path with neither prefix is a key under the
// user's root. Each root is one REGEDIT4 text file (see RegistryFileForRoot). Value names match
// without regard to case; only strings and 32-bit numbers are read and written. A file is parsed
// again only when it has changed since the last read; reads and writes may come from any thread.

enum class RegType
{
    String,
    Dword
};

enum class RegRoot
{
    Machine,
    User
};

// The longest string setting read, with its terminating NUL: a checker's command line or a
// connection string can be long, and cutting one would change what it means.
constexpr quint32 kMaxSettingString = 32 * 1024;

// Status codes of the write functions, in the registry's own terms (0 is success).
constexpr long kRegSuccess = 0;

// True only when the key exists, the value exists, has exactly the expected type and its stored
// size fits in bufferSize bytes. A string's stored size is its UTF-8 length plus the terminating NUL.
// On success the value's stored bytes are copied to buffer.
bool RegReadValue(const QString& keyPath, const QString& valueName, RegType type, void* buffer,
                  quint32 bufferSize);
// Returns kRegSuccess or an errno value; callers ignore it (writes fail silently). A number whose
// size is not 4, or a name the file cannot hold, is refused (EINVAL) before anything is created.
// Writers wait about 2 seconds at most for one another (the lock file "<settings file>.lock"), then
// give up (EWOULDBLOCK) and leave the file as it was.
long RegWriteValue(const QString& keyPath, const QString& valueName, RegType type, const void* data,
                   quint32 size);

bool RegReadString(const QString& valueName, QString& value, quint32 bufferSize, const QString& keyPath);
QString RegGetString(const QString& valueName, const QString& keyPath);
// On failure *value keeps what the caller put there, so callers preset their default.
bool RegReadDword(const QString& valueName, quint32* value, const QString& keyPath);
long RegWriteString(const QString& valueName, const QString& text, const QString& keyPath);
long RegWriteDword(const QString& valueName, quint32 value, const QString& keyPath);

// $TROVEPORT_MACHINE_REG or /etc/troveport/machine.reg; $TROVEPORT_USER_REG or
// $XDG_CONFIG_HOME/troveport/user.reg.
QString RegistryFileForRoot(RegRoot root);

// How many times reads have parsed a settings file since the process started (for tests and
// benchmarks): a read of a file unchanged since an earlier read uses what that read parsed.
quint64 RegSettingsParseCount();

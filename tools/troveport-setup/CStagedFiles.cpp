#include "CStagedFiles.h"

#include "files/FileMode.h"
#include "files/SafeFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kTemporaryPrefix = QStringLiteral(".troveport-setup-");
const QString kTemporarySuffix = QStringLiteral(".new");

QString SystemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// A group file may be a symbolic link kept elsewhere; as with QSaveFile, the file it leads to is
// the one replaced, and the link stays.
QString FinalTarget(const QString& fileName)
{
    QFileInfo info(fileName);
    for (int depth = 0; depth < 32 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? fileName : info.filePath();
}

} // namespace

void CStagedFiles::Write(const QString& fileName, const QByteArray& data)
{
    m_changes.append({FinalTarget(fileName), data, false, {}, false, {}});
}

void CStagedFiles::Remove(const QString& fileName)
{
    m_changes.append({fileName, {}, true, {}, false, {}});
}

bool CStagedFiles::WriteTemporary(Change& change, QString* error)
{
    QTemporaryFile file(QFileInfo(change.target).absolutePath() + QLatin1Char('/') + kTemporaryPrefix +
                        QStringLiteral("XXXXXX") + kTemporarySuffix);
    file.setAutoRemove(false);
    if (!file.open()) {
        *error = QStringLiteral("Cannot write %1: %2.").arg(change.target, file.errorString());
        return false;
    }
    change.temporary = file.fileName();
    // Replacing a file keeps its permissions; a new one gets the usual ones, not the private ones
    // of a temporary file, or the explorer run by another user could not read it.
    struct stat st;
    const mode_t mode =
        ::stat(QFile::encodeName(change.target).constData(), &st) == 0 ? st.st_mode & 07777 : DefaultFileMode();
    if (file.write(change.data) != change.data.size() || !file.flush() ||
        ::fchmod(file.handle(), mode) != 0 || ::fsync(file.handle()) != 0) {
        *error = QStringLiteral("Cannot write %1: %2.").arg(change.target, file.errorString());
        return false;
    }
    return true;
}

void CStagedFiles::DiscardTemporaries()
{
    for (Change& change : m_changes) {
        if (!change.temporary.isEmpty())
            QFile::remove(change.temporary);
        change.temporary.clear();
    }
}

QString CStagedFiles::PutBack(qsizetype applied)
{
    QString failures;
    for (qsizetype i = applied - 1; i >= 0; --i) {
        const Change& change = m_changes[i];
        if (change.existed) {
            const QFileInfo target(change.target);
            const CSafeDirectory directory = CSafeDirectory::Open(target.absolutePath());
            CFileReplacement file(directory, QFile::encodeName(target.fileName()), DefaultFileMode());
            if (file.Write(change.oldData) && file.Commit())
                continue;
            failures += QStringLiteral(" Putting back failed as well: %1").arg(file.Fault().Message());
        } else if (::unlink(QFile::encodeName(change.target).constData()) != 0 && errno != ENOENT) {
            failures += QStringLiteral(" Taking away %1 again failed as well: %2.")
                            .arg(change.target, SystemError(errno));
        }
    }
    return failures;
}

bool CStagedFiles::Commit(QString* error)
{
    for (Change& change : m_changes) {
        if (!change.remove && !WriteTemporary(change, error)) {
            DiscardTemporaries();
            return false;
        }
    }
    // Keep what a move may have to undo. The last change is never undone, and it is the table, the
    // one large file, so it is not read.
    for (qsizetype i = 0; i + 1 < m_changes.size(); ++i) {
        Change& change = m_changes[i];
        QFile file(change.target);
        change.existed = file.exists();
        if (change.existed && !file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("Cannot read %1: %2.").arg(change.target, file.errorString());
            DiscardTemporaries();
            return false;
        }
        if (change.existed)
            change.oldData = file.readAll();
    }

    for (qsizetype i = 0; i < m_changes.size(); ++i) {
        Change& change = m_changes[i];
        const QByteArray target = QFile::encodeName(change.target);
        // rename() replaces the target in one step, which QFile::rename does not.
        const bool moved = change.remove ? ::unlink(target.constData()) == 0 || errno == ENOENT
                                         : std::rename(QFile::encodeName(change.temporary).constData(),
                                                       target.constData()) == 0;
        if (!moved) {
            *error = QStringLiteral("Cannot %1 %2: %3.")
                         .arg(change.remove ? QStringLiteral("remove") : QStringLiteral("replace"),
                              change.target, SystemError(errno));
            DiscardTemporaries();
            *error += PutBack(i);
            return false;
        }
        change.temporary.clear();
    }
    m_changes.clear();
    return true;
}

void CStagedFiles::RemoveLeftovers(const QString& directory)
{
    const QDir dir(directory);
    const QStringList names = dir.entryList({kTemporaryPrefix + QLatin1Char('*') + kTemporarySuffix},
                                            QDir::Files | QDir::Hidden | QDir::CaseSensitive);
    for (const QString& name : names)
        QFile::remove(dir.filePath(name));
}

#pragma once

// What the fake virus checker (helpers/fake_viruscheck.cpp) really read, from the file that
// $FAKE_VIRUSCHECK_READ names: one line per run, "<device>:<inode> <first line>" or "-".

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <sys/stat.h>

namespace CheckerSupport {

// "<device>:<inode>" of the file at the path's bytes (not following a final link), as the checker
// notes it.
inline QByteArray FileIdentity(const QByteArray& nativePath)
{
    struct stat st;
    if (::lstat(nativePath.constData(), &st) != 0)
        return QByteArray("none");
    return QByteArray::number(quint64(st.st_dev)) + ':' + QByteArray::number(quint64(st.st_ino));
}

inline QByteArray FileIdentity(const QString& path)
{
    return FileIdentity(QFile::encodeName(path));
}

// The identities of the files the checker read, one per run, "-" for a run that read nothing.
inline QList<QByteArray> ReadIdentities(const QString& readLog)
{
    QList<QByteArray> identities;
    QFile file(readLog);
    if (!file.open(QIODevice::ReadOnly))
        return identities;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (!line.isEmpty())
            identities.append(space < 0 ? line : line.left(space));
    }
    return identities;
}

} // namespace CheckerSupport

#pragma once

// What the review and submission tests share: the state of files an attacker points links at, and
// a file-size limit that makes writes fail the way a full disk does.

#include "reviews/ReviewFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace ReviewTestSupport {

// Reviews in one line each, for comparisons that show what differs.
inline QString Describe(const QList<CReview>& reviews)
{
    QStringList parts;
    for (const CReview& r : reviews)
        parts.append(u"[%1|%2|%3|%4|%5]"_s.arg(r.name, r.email, r.anonymous ? u"true"_s : u"false"_s, r.date,
                                               QString(r.text).replace(u"\r\n"_s, u"\\r\\n"_s)));
    return parts.join(u' ');
}

// Every entry of a directory with its bytes and modification time, links not followed: two
// snapshots differ when anything in it was written, made, replaced or removed.
inline QStringList Snapshot(const QString& dir)
{
    QStringList entries;
    const QStringList names = QDir(dir).entryList(
        QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    for (const QString& name : names) {
        const QString path = dir + u'/' + name;
        struct stat st = {};
        ::lstat(QFile::encodeName(path).constData(), &st);
        QFile file(path);
        const QByteArray bytes = !S_ISLNK(st.st_mode) && file.open(QIODevice::ReadOnly) ? file.readAll() : "";
        entries.append(u"%1 %2.%3 %4"_s.arg(name)
                           .arg(qint64(st.st_mtim.tv_sec))
                           .arg(qint64(st.st_mtim.tv_nsec))
                           .arg(QString::fromLatin1(bytes.toHex())));
    }
    return entries;
}

inline bool MakeLink(const QString& target, const QString& link)
{
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0;
}

} // namespace ReviewTestSupport

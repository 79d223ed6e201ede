#pragma once

// What the review and submission tests share: the state of files an attacker points links at,
// submissions to post, and a reader that tells a replaced file from one rewritten in place.

#include "reviews/ReviewFile.h"
#include "reviews/Submissions.h"

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

inline CSubmission Sub(qint64 id, const QString& file, const QString& name)
{
    return {
        {name, name.toLower() + u"@example.org"_s, false, u"May 1, 1999"_s, u"Fine.\r\nReally."_s}, id, file};
}

inline QByteArray Records(const QList<CSubmission>& list)
{
    QByteArray data;
    for (const CSubmission& s : list)
        data += FormatSubmission(s);
    return data;
}

// A reader that opened a file before it was rewritten, as the site's pages do while the explorer
// writes: a file replaced by rename leaves that reader the old file whole, where one written in
// place would show it a half-written or emptied one.
class CEarlierReader
{
public:
    explicit CEarlierReader(const QString& path) : m_path(path), m_file(path)
    {
        struct stat st = {};
        if (m_file.open(QIODevice::ReadOnly) && ::fstat(m_file.handle(), &st) == 0) {
            m_inode = st.st_ino;
            m_bytes = m_file.readAll();
        }
    }

    bool IsOpen() const { return m_file.isOpen() && !m_bytes.isEmpty(); }
    // The name leads to another file now, and the one read before still holds its old bytes.
    bool SawReplacement()
    {
        struct stat st = {};
        return ::stat(QFile::encodeName(m_path).constData(), &st) == 0 && st.st_ino != m_inode &&
               m_file.seek(0) && m_file.readAll() == m_bytes;
    }

private:
    QString m_path;
    QFile m_file;
    ino_t m_inode = 0;
    QByteArray m_bytes;
};

} // namespace ReviewTestSupport

#pragma once

// Zip archives with given members for tests, written with libzip.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>

#include <sys/stat.h>
#include <zip.h>

namespace ArchiveSupport {

struct Member
{
    QByteArray name; // as stored, not converted
    QByteArray data;
    bool symbolicLink = false; // data is then the link's target
};
using Members = QList<Member>;

// Writes an archive of these members (deflated) at path, making its directory; false on any failure.
inline bool WriteArchive(const QString& path, const Members& members)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    for (const Member& member : members) {
        zip_source_t* source =
            zip_source_buffer(archive, member.data.constData(), zip_uint64_t(member.data.size()), 0);
        const zip_int64_t index =
            source ? zip_file_add(archive, member.name.constData(), source, ZIP_FL_ENC_RAW) : -1;
        if (index < 0 || (member.symbolicLink &&
                          zip_file_set_external_attributes(archive, zip_uint64_t(index), 0, ZIP_OPSYS_UNIX,
                                                           zip_uint32_t(S_IFLNK | 0777) << 16) < 0)) {
            if (index < 0)
                zip_source_free(source);
            zip_discard(archive);
            return false;
        }
    }
    return zip_close(archive) == 0;
}

} // namespace ArchiveSupport

#pragma once

// Zip archives with given members for tests, written with libzip.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>

#include <utility>
#include <zip.h>

namespace ArchiveSupport {

// Writes an archive of these members at path, making its directory; false on any failure.
inline bool WriteArchive(const QString& path, const QList<std::pair<const char*, QByteArray>>& members)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    for (const auto& [name, data] : members) {
        zip_source_t* source = zip_source_buffer(archive, data.constData(), zip_uint64_t(data.size()), 0);
        if (!source || zip_file_add(archive, name, source, ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
    }
    return zip_close(archive) == 0;
}

} // namespace ArchiveSupport

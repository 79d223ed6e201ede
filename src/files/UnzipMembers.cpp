#include "files/UnzipMembers.h"

#include "files/PathUtils.h"

#include <QFile>

#include <zip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum UnzipResult
{
    kUnzipOk = 0,
    kUnzipCannotOpen = 1,
    kUnzipBadMember = 2,
    kUnzipCannotWrite = 3,
};

// Closes the archive on every way out.
struct ZipArchive
{
    zip_t* archive = nullptr;
    ~ZipArchive()
    {
        if (archive)
            zip_discard(archive); // opened read-only: nothing to write back
    }
};

struct ZipMember
{
    zip_file_t* file = nullptr;
    ~ZipMember()
    {
        if (file)
            zip_fclose(file);
    }
};

struct OutputFile
{
    int fd = -1;
    ~OutputFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// ASCII case folding only: the names looked for are ASCII, and a member's name may be in any
// 8-bit code page, which must not match by accident.
bool SameNameIgnoringCase(const char* memberName, const QByteArray& wanted)
{
    const qsizetype length = qsizetype(qstrlen(memberName));
    if (length != wanted.size())
        return false;
    for (qsizetype i = 0; i < length; ++i) {
        char a = memberName[i];
        char b = wanted[i];
        if (a >= 'A' && a <= 'Z')
            a = char(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = char(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

// A Unix symbolic link stored in the archive: its data is the link's target, not text.
bool IsSymbolicLink(zip_t* archive, zip_uint64_t index)
{
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0)
        return false;
    return system == ZIP_OPSYS_UNIX && S_ISLNK(attributes >> 16);
}

bool WriteAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Copies at most maxBytes of the member to a new file; the member is read no further, so a zip
// bomb costs no more than the bytes kept.
int ExtractMember(zip_t* archive, zip_uint64_t index, const QString& target, qint64 maxBytes)
{
    ZipMember member{zip_fopen_index(archive, index, 0)};
    if (!member.file) {
        const int error = zip_error_code_zip(zip_get_error(archive));
        // A method or an encryption that cannot be read leaves the member out, as if absent.
        if (error == ZIP_ER_COMPNOTSUPP || error == ZIP_ER_ENCRNOTSUPP || error == ZIP_ER_NOPASSWD ||
            error == ZIP_ER_WRONGPASSWD)
            return kUnzipOk;
        return kUnzipBadMember;
    }
    // O_EXCL and O_NOFOLLOW: nothing that already stands in the directory is written through.
    OutputFile output{::open(QFile::encodeName(target).constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)};
    if (output.fd < 0)
        return kUnzipCannotWrite;
    char buffer[65536];
    qint64 remaining = maxBytes;
    while (remaining > 0) {
        const zip_int64_t got =
            zip_fread(member.file, buffer, zip_uint64_t(qMin<qint64>(remaining, sizeof buffer)));
        if (got < 0)
            return kUnzipBadMember; // inflate error or checksum mismatch at the member's end
        if (got == 0)
            break;
        if (!WriteAll(output.fd, buffer, got))
            return kUnzipCannotWrite;
        remaining -= got;
    }
    return kUnzipOk;
}

// The archive read from a descriptor of its own, a duplicate of the caller's, which libzip takes
// over with the stream and closes with it. zip_fdopen would do the same but duplicates without
// close-on-exec, so a program started meanwhile by another thread would inherit the archive.
zip_t* OpenArchive(int archiveFd)
{
    const int fd = ::fcntl(archiveFd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return nullptr;
    FILE* stream = ::fdopen(fd, "rb");
    if (!stream) {
        ::close(fd);
        return nullptr;
    }
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_filep_create(stream, 0, -1, &error);
    zip_t* archive = nullptr;
    if (!source)
        std::fclose(stream);
    else if (!(archive = zip_open_from_source(source, ZIP_RDONLY, &error)))
        zip_source_free(source); // closes the stream
    zip_error_fini(&error);
    return archive;
}

} // namespace

int UnzipMembers(int archiveFd, const QStringList& memberNames, const QString& destination,
                 qint64 maxBytesPerMember)
{
    ZipArchive zip{OpenArchive(archiveFd)};
    if (!zip.archive)
        return kUnzipCannotOpen;

    QList<QByteArray> wanted;
    for (const QString& name : memberNames) {
        // A listed name that is no plain file name would write outside the destination.
        const bool plain = !name.isEmpty() && !name.contains(QLatin1Char('/')) &&
                           name != QLatin1String(".") && name != QLatin1String("..");
        wanted.append(plain ? name.toUtf8() : QByteArray());
    }
    QList<bool> written(wanted.size(), false);

    const zip_int64_t count = zip_get_num_entries(zip.archive, 0);
    for (zip_int64_t index = 0; index < count; ++index) {
        // The name exactly as stored: its code page does not matter for the ASCII names looked for.
        const char* name = zip_get_name(zip.archive, zip_uint64_t(index), ZIP_FL_ENC_RAW);
        if (!name || std::strpbrk(name, "/\\"))
            continue;
        for (qsizetype w = 0; w < wanted.size(); ++w) {
            if (written[w] || wanted[w].isEmpty() || !SameNameIgnoringCase(name, wanted[w]))
                continue;
            if (IsSymbolicLink(zip.archive, zip_uint64_t(index)))
                break;
            written[w] = true;
            const int result = ExtractMember(zip.archive, zip_uint64_t(index),
                                             MakePath(destination, memberNames[w]), maxBytesPerMember);
            if (result != kUnzipOk)
                return result;
            break;
        }
    }
    return kUnzipOk;
}

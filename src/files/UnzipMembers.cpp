#include "files/UnzipMembers.h"

#include <zip.h>

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

// Reads at most maxBytes of the member into memory; the member is read no further, so a zip bomb
// costs no more than the bytes kept, whatever size its header declares.
int ReadMember(zip_t* archive, zip_uint64_t index, qint64 maxBytes, std::optional<QByteArray>& bytes)
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
    QByteArray data;
    char buffer[65536];
    while (data.size() < maxBytes) {
        const zip_int64_t got = zip_fread(
            member.file, buffer, zip_uint64_t(qMin<qint64>(maxBytes - data.size(), sizeof buffer)));
        if (got < 0)
            return kUnzipBadMember; // inflate error or checksum mismatch at the member's end
        if (got == 0)
            break;
        data.append(buffer, qsizetype(got));
    }
    bytes = std::move(data);
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

int UnzipMembers(int archiveFd, const QStringList& memberNames, qint64 maxBytesPerMember,
                 QList<std::optional<QByteArray>>& members)
{
    members = QList<std::optional<QByteArray>>(memberNames.size());
    ZipArchive zip{OpenArchive(archiveFd)};
    if (!zip.archive)
        return kUnzipCannotOpen;

    QList<QByteArray> wanted;
    for (const QString& name : memberNames)
        wanted.append(name.toUtf8());
    QList<bool> taken(wanted.size(), false);

    const zip_int64_t count = zip_get_num_entries(zip.archive, 0);
    for (zip_int64_t index = 0; index < count; ++index) {
        // The name exactly as stored: its code page does not matter for the ASCII names looked for.
        const char* name = zip_get_name(zip.archive, zip_uint64_t(index), ZIP_FL_ENC_RAW);
        if (!name || std::strpbrk(name, "/\\"))
            continue;
        for (qsizetype w = 0; w < wanted.size(); ++w) {
            if (taken[w] || wanted[w].isEmpty() || !SameNameIgnoringCase(name, wanted[w]))
                continue;
            if (IsSymbolicLink(zip.archive, zip_uint64_t(index)))
                break;
            taken[w] = true;
            const int result = ReadMember(zip.archive, zip_uint64_t(index), maxBytesPerMember, members[w]);
            if (result != kUnzipOk) {
                members.fill(std::nullopt);
                return result;
            }
            break;
        }
    }
    return kUnzipOk;
}

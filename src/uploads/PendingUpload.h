#pragma once

#include "viruscheck/VirusChecker.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class CSafeDirectory;

// Which file an upload was when the scan opened and checked it: posting publishes the file found
// at the upload's name only while it is still this one, unchanged.
struct CUploadIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 changedNs = 0; // the status change time, in nanoseconds since 1970

    bool operator==(const CUploadIdentity&) const = default;
};

// One upload found by a scan: what its description file says, and where the scan found it. Kept in
// memory only, for the life of one scan's dialog.
struct CPendingUpload
{
    // Longest values kept, in characters.
    static constexpr int kFileNameLength = 260;
    static constexpr int kTitleLength = 30;
    static constexpr int kVersionLength = 15;
    static constexpr int kShortDescLength = 60;
    static constexpr int kCompanyLength = 254;
    static constexpr int kEmailLength = 254;
    static constexpr int kLongDescLength = 65535;

    double area_id = 0;
    QString file_name;
    QString title;
    QString version;
    QString short_desc;
    QString company; // the author's name
    QString email;   // the author's address
    bool requires_form = false;
    QString long_desc; // body lines, each followed by CR LF
    double file_size = 0;
    quint32 file_date = 0;     // seconds since 1970: when the scan read it
    quint32 last_download = 0; // the same
    QStringList urls;
    QList<quint32> area_ids;

    // The description file the scan read, and the uploaded file beside it (that path without
    // ".desc"), whatever the description file's "Filename" says. For messages only: a name that
    // is not valid UTF-8 shows here with replacement characters.
    QString description_path;
    QString upload_path;
    // The same two files' names in the area's directory as the bytes they have on disk: only these
    // reach the files.
    QByteArray description_name;
    QByteArray upload_name;
    // The area's directory as the scan opened it; posting and deleting work in that very directory.
    std::shared_ptr<const CSafeDirectory> directory;
    // The upload as the scan opened, unpacked and checked it; none when it could not be opened.
    std::optional<CUploadIdentity> checked;
    // Empty when the upload may be posted; otherwise the warning the list shows in place of the
    // name: file_name is missing or cannot be trusted to name the uploaded file, the upload or its
    // description is a link or no regular file, or the upload is still arriving. Such an upload is
    // never posted, and nothing is reached through its file_name.
    QString unsafe_reason;
    // What the virus checker said of the upload the scan opened. Only a clean upload, or one
    // scanned with no checker set up, may be posted.
    VirusVerdict virus;

    bool IsSafe() const { return unsafe_reason.isEmpty(); }
};

// One scan's uploads, in scan order: areas in table order, files in name order within an area.
using CPendingUploadArray = QList<CPendingUpload>;

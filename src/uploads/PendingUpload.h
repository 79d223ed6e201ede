#pragma once

#include <QList>
#include <QString>
#include <QStringList>

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
    // ".desc"), whatever the description file's "Filename" says.
    QString description_path;
    QString upload_path;
    // Empty when file_name can be trusted to name the uploaded file; otherwise the warning the
    // list shows in place of the name. Such an upload is never posted, and nothing is reached
    // through its file_name.
    QString unsafe_reason;

    bool IsSafe() const { return unsafe_reason.isEmpty(); }
};

// One scan's uploads, in scan order: areas in table order, files in name order within an area.
using CPendingUploadArray = QList<CPendingUpload>;

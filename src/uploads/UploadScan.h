#pragma once

#include "uploads/PendingUpload.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class CSafeDirectory;

// Reading the upload description files that the web site leaves beside visitors' uploads, and
// posting an upload into the library. No widgets: the scan's dialog and its command use these.
// Visitors can write the upload areas: every file there is reached through the file layer
// (files/SafeFiles.h) by its name's bytes, never following a link, and an upload is opened once,
// then sized, unpacked and checked for viruses through that one descriptor.

// Lines of a description file are read in pieces of at most this many bytes.
constexpr int kUploadLinePieceBytes = 254;
// A description file is read only up to this size: nothing beyond it could change a field that
// the limits leave room for, and a hostile file must not exhaust memory or time.
constexpr qint64 kMaxUploadDescriptionSize = 1024 * 1024;
// An upload that changed so few seconds before its scan may still be arriving: it is listed, but
// cannot be posted before a later scan.
constexpr qint64 kUploadSettleSeconds = 10;

// The clock the scan reads, in seconds since 1970: the time it notes for each upload, and what
// it tells arriving uploads by. Tests set one of their own; an empty function is the system clock.
void SetUploadScanClock(std::function<qint64()> clock);
qint64 UploadScanTime();

// Fills the header fields and long_desc of upload from the lines of a description file (as
// SplitSiteTextLines gives them): "Key: value" lines up to the first empty line, the body after it.
void ParseUploadDescription(const QStringList& lines, CPendingUpload& upload);

// The directory of the area with this id (the first in table order); empty when no area has it.
QString FindAreaPath(double areaId);

// Why a description file's "Filename" must not be used to reach a file, or empty when it may: it
// must be exactly the name of the uploaded file beside the description file (uploadName, its bytes
// on disk), which is a plain name in the area's directory. An empty name is refused: its location
// would be the area's directory itself.
QString CheckUploadFileName(const QByteArray& uploadName, const QString& fileName);

// Reads the description file of that name in the area's directory and appends its upload to list,
// with the virus checker's verdict on it. An orphaned description file is deleted instead: nothing
// of the upload's name is beside it, and no "<name>.desc" describes it as an upload of its own (a
// visitor may upload "notes.desc" with "notes.desc.desc"). cancelled, when given, is asked while
// the checker runs; true stops the checker, and the upload is listed as not checked.
void ReadUploadDescription(quint32 areaId, const std::shared_ptr<const CSafeDirectory>& directory,
                           const QByteArray& descriptionName, CPendingUploadArray& list,
                           const CheckCancelled& cancelled = {});

// The names of the description files of one area's directory ("*.desc"), in byte order.
QList<QByteArray> ListUploadDescriptions(const CSafeDirectory& directory);

// Reads every description file of one area's directory into list. Uploads gone by the end (a
// checker may move an infected file away) are not listed.
void ScanUploadDirectory(quint32 areaId, const QString& directory, CPendingUploadArray& list);

// What a scan of every area that allows uploads reports while it works: the description file it
// is about to read, its number (from 0) and how many there are. Returning false stops the scan;
// the uploads read so far are kept.
using UploadScanProgress = std::function<bool(const QString& descriptionPath, int index, int total)>;

// What a scan's progress shows for the description file it is about to read: "Checking NAME (3 of 9)",
// NAME being the upload's (the description file's without ".desc"), index counted from 0.
QString UploadScanProgressText(const QString& descriptionPath, int index, int total);

// Scans the directories of all areas that allow uploads, in table order, into list; uploads gone
// by the end are not listed. cancelled as for ReadUploadDescription. False when progress stopped
// it. Needs no window: it may run on a worker thread.
bool ScanUploadAreas(CPendingUploadArray& list, const UploadScanProgress& progress = {},
                     const CheckCancelled& cancelled = {});

// Why the scan's verdict keeps the upload from being posted, or empty when it does not: it was
// reported infected, or could not be checked.
QString VirusRefusal(const CPendingUpload& upload);

// Why the upload cannot be posted now, or empty when it can: it is not safe, the virus checker did
// not find it clean, or the file at its name is no longer the one the scan checked (exchanged,
// changed or gone).
QString CheckUploadPostable(const CPendingUpload& upload);

// Creates the upload's file record with its areas and download locations; on a failure part-way
// the record is deleted again. False, creating nothing, for an upload that CheckUploadPostable
// refuses; *refusal then says why, and stays empty when the database failed.
bool PostPendingUpload(const CPendingUpload& upload, QString* refusal = nullptr);

// After posting: deletes the upload's description file. Failures are ignored.
void RemovePostedDescription(const CPendingUpload& upload);

// What to tell the administrator who asks to post an upload that the scan already found unpostable
// (unsafe, infected, not checked), with what to do about it; empty when the scan's findings allow
// posting.
QString UploadRefusalText(const CPendingUpload& upload);

enum class UploadPosting
{
    Posted,
    Refused, // the upload cannot be posted: *refusal says why
    Failed,  // the database did not take the record
};

// Posts the upload as the scan's dialog does: refused when UploadRefusalText says so; else its
// record is made (PostPendingUpload) and its description file removed. An upload found changed at
// posting time gets that reason as its unsafe_reason, so that it stays unpostable until a later scan.
UploadPosting PostUpload(CPendingUpload& upload, QString* refusal);

// Deletes the upload: the uploaded file and then the description file the scan read, by the bytes
// of their names in the area's directory, each only when it is not a directory (a link is removed
// itself). Failures are ignored; the database is not touched.
void DeleteUploadFiles(const CPendingUpload& upload);

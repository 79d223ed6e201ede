#pragma once

#include "uploads/PendingUpload.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// Reading the upload description files that the web site leaves beside visitors' uploads, and
// posting an upload into the library. No widgets: the scan's dialog and its command use these.

// Lines of a description file are read in pieces of at most this many bytes.
constexpr int kUploadLinePieceBytes = 254;
// A description file is read only up to this size: nothing beyond it could change a field that
// the limits leave room for, and a hostile file must not exhaust memory or time.
constexpr qint64 kMaxUploadDescriptionSize = 1024 * 1024;

// Fills the header fields and long_desc of upload from the lines of a description file (as
// ReadSiteTextLines gives them): "Key: value" lines up to the first empty line, the body after it.
void ParseUploadDescription(const QStringList& lines, CPendingUpload& upload);

// The directory of the area with this id (the first in table order); empty when no area has it.
QString FindAreaPath(double areaId);

// The uploaded file and the description file that file_name names in the upload's area, as the
// library knows them: the area's directory joined with file_name (and ".desc").
QString UploadFilePath(const CPendingUpload& upload);
QString UploadDescriptionPath(const CPendingUpload& upload);

// Why a description file's "Filename" must not be used to reach a file, or empty when it may: it
// must be empty (the name is then simply unknown) or the plain name of the uploaded file beside the
// description file, lying in the area's directory itself (no separator, not "." or "..", not a
// symbolic link that leads out of the directory).
QString CheckUploadFileName(const QString& areaDirectory, const QString& descriptionPath,
                            const QString& fileName);

// Reads one description file and appends its upload to list; an orphaned description file (no
// regular file beside it) is deleted instead. whileWaiting, when given, is called often while the
// virus checker runs (so that a window can repaint).
void ReadUploadDescription(quint32 areaId, const QString& descriptionPath, CPendingUploadArray& list,
                           const std::function<void()>& whileWaiting = {});

// The description files of one area's directory ("*.desc", regular files or links, in name order).
QStringList ListUploadDescriptions(const QString& directory);

// Reads every description file of one directory into list.
void ScanUploadDirectory(quint32 areaId, const QString& directory, CPendingUploadArray& list);

// What a scan of every area that allows uploads reports while it works: the description file it
// is about to read, its number (from 0) and how many there are. Returning false stops the scan;
// the uploads read so far are kept.
using UploadScanProgress = std::function<bool(const QString& descriptionPath, int index, int total)>;

// Scans the directories of all areas that allow uploads, in table order, into list. whileWaiting
// as for ReadUploadDescription. False when progress stopped it.
bool ScanUploadAreas(CPendingUploadArray& list, const UploadScanProgress& progress = {},
                     const std::function<void()>& whileWaiting = {});

// Creates the upload's file record with its areas and download locations; on a failure part-way
// the record is deleted again. False, creating nothing, for an upload that is not safe.
bool PostPendingUpload(const CPendingUpload& upload);

// After posting: deletes the description file that UploadDescriptionPath names, when it is a file
// lying in the area's directory. Failures are ignored.
void RemovePostedDescription(const CPendingUpload& upload);

// Deletes the upload: the uploaded file and then the description file the scan read, each only when
// it lies in the area's directory and is not a directory. Failures are ignored; the database is
// not touched.
void DeleteUploadFiles(const CPendingUpload& upload);

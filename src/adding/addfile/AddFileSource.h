#pragma once

#include "controls/DateEditLogic.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class CClipboardSubmission;
class CFileRecord;

// The rules by which the Add File wizard fills its pages from the source the user chose (a
// formatted submission, a web file or a local file) and stores the new file.

// The submission's "Date" ("mm/dd/yy"), when it is a valid date: years below 50 are 20xx, the
// others 19xx.
std::optional<CalendarDate> ReadSubmissionDate(const QString& text);
// A size in bytes as the Details page and a submission's "Size" give it: decimal digits, which may
// be grouped by commas ("1,234" is 1234), up to 4294967295, as the size field holds. None for
// anything else: blanks, signs, letters ("12abc", "0x10", "inf"), a larger number.
std::optional<quint32> ReadByteCount(const QString& text);
// "ReqForm": set by a value beginning with Y, y or 1.
bool ReadRequiresForm(const QString& value);
// "SiteUrl1", "SiteUrl2" ... up to the first one that is absent or empty.
QStringList ReadSubmissionLocations(const CClipboardSubmission& submission);

// What the file system tells of a local file: the day it was last written, in UTC as the library
// reads every stored time, and the low 32 bits of its size. Nothing when it is no regular file, or
// lies in an area behind a link.
struct LocalFileFacts
{
    CalendarDate date;
    quint32 size = 0;
};
std::optional<LocalFileFacts> ReadLocalFileFacts(const QString& path);
// The name a local file is titled by: its name without the directory, as the file manager shows
// it; empty when the path names no file.
QString LocalFileTitle(const QString& path);

// Stores the new file: the record with its fields as set, then its areas in order, then its
// locations from the first. Each step stops at its first refusal, and a refused record stores
// nothing more. True when every step was taken.
bool StoreNewFile(CFileRecord& record, const QList<double>& areaIds, const QStringList& locations);

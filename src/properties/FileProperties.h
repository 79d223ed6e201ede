#pragma once

#include <QList>
#include <QString>

#include <optional>

class CDatabaseManager;
class CFileRecord;

// What the File Properties sheet does that needs no window: the write-back of its working copy, the
// checks on the General and Description values, the import of a description from a text file and
// the toggling of a file's area links.

// Why a write the user asked for did not land. Call StartWriteWatch before the write; after it
// failed, WriteFailure gives what the database logged meanwhile (a lock the web site held too long,
// a refused value), shortened for a message, or `otherwise` when it logged nothing (a row deleted
// meanwhile is no database error).
void StartWriteWatch(CDatabaseManager& manager);
QString WriteFailure(CDatabaseManager& manager, const QString& otherwise);
// The reason given when the file's row is no longer there.
QString FileGoneReason();

// Writes the working copy to the file's stored row, under DatabaseLock. Empty when it landed;
// otherwise the reason it did not, and the row keeps what it held.
QString CommitFileProperties(const CFileRecord& workingCopy);

// A number typed into a field: decimal digits with an optional sign, fraction and exponent, and
// nothing else: no blanks, no hexadecimal, no "inf" or "nan". None for anything else and for a
// number too large for a double.
std::optional<double> ParseNumberField(const QString& text);
// How a number field shows its value: as many digits as a double holds exactly, no exponent for
// whole numbers that fit.
QString FormatNumberField(double value);

// The General page's values as typed.
struct GeneralFields
{
    QString title;
    QString version;
    QString fileSize;
    QString downloads;
    QString name;
    QString email;
};

// The field whose value cannot be taken, in the order the page checks them.
enum class GeneralFault
{
    None,
    NameTooLong,
    EmailTooLong,
    SizeNotNumber,
    TitleTooLong,
    VersionTooLong,
    DownloadsNotNumber,
};
GeneralFault FindGeneralFault(const GeneralFields& fields);

// Longest author's name and e-mail address the General page takes, in characters.
constexpr int kMaxAuthorField = 254;

enum class DescriptionFault
{
    None,
    DetailedTooLong,
    BriefTooLong,
};
DescriptionFault FindDescriptionFault(const QString& detailed, const QString& brief);

// The text a description import appends: the file's bytes up to its first zero byte, as UTF-8 with
// line feeds, at most as many characters as a detailed description holds. Empty when the file
// cannot be read.
QString ReadDescriptionImport(const QString& path);

// A click on an area of the File Areas page: unlinks the file from the area when `linked` holds it,
// else links it. `linked` follows what the database accepted. Returns whether the area is now
// marked: an area whose unlink fails stays linked and marked, and a link is marked even when it
// fails. *failure gets the reason when what was asked did not land, else is emptied.
bool ToggleFileArea(CFileRecord& file, QList<double>& linked, double areaId, QString* failure);

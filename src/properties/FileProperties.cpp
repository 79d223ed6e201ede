#include "properties/FileProperties.h"

#include "database/CDatabaseManager.h"
#include "database/CFieldExchange.h"
#include "database/CFileRecord.h"
#include "files/CodePoints.h"
#include "files/DescriptionText.h"
#include "files/FileUtils.h"
#include "files/SafeFormat.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

void StartWriteWatch(CDatabaseManager& manager)
{
    manager.TakeLastError();
}

QString WriteFailure(CDatabaseManager& manager, const QString& otherwise)
{
    // The database's words can hold what the site stored (a trigger's message): shortened.
    const QString logged = manager.TakeLastError();
    return logged.isEmpty() ? otherwise : ElideStoredText(logged, 400);
}

QString FileGoneReason()
{
    return QStringLiteral("The file is no longer in the database: another program has deleted it.");
}

QString CommitFileProperties(const CFileRecord& workingCopy)
{
    CDatabaseManager& manager = *workingCopy.GetManager();
    StartWriteWatch(manager);
    CDatabaseLockGuard lock(CDatabaseManager::DatabaseLock);
    CFileRecord stored(&manager);
    if (stored.GetByPrimaryKey(workingCopy, true, true) && stored.Edit()) {
        stored = workingCopy;
        if (stored.UpdateRecord())
            return QString();
    }
    return WriteFailure(manager, FileGoneReason());
}

std::optional<double> ParseNumberField(const QString& text)
{
    // What the site stores and the field shows: plain decimal notation, an exponent for the largest
    // values. QLocale alone would also take blanks, "inf" and "nan".
    static const QRegularExpression kDecimal(
        QStringLiteral("\\A[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?\\z"));
    if (!kDecimal.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    // The C locale, as the stored numbers are written: a comma is never a decimal point here.
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString FormatNumberField(double value)
{
    return QString::number(value, 'g', 15);
}

GeneralFault FindGeneralFault(const GeneralFields& fields)
{
    if (CodePointCount(fields.name) > kMaxAuthorField)
        return GeneralFault::NameTooLong;
    if (CodePointCount(fields.email) > kMaxAuthorField)
        return GeneralFault::EmailTooLong;
    if (!ParseNumberField(fields.fileSize))
        return GeneralFault::SizeNotNumber;
    if (CodePointCount(fields.title) > CFileRecord::kTitleLength)
        return GeneralFault::TitleTooLong;
    if (CodePointCount(fields.version) > CFileRecord::kVersionLength)
        return GeneralFault::VersionTooLong;
    if (!ParseNumberField(fields.downloads))
        return GeneralFault::DownloadsNotNumber;
    return GeneralFault::None;
}

DescriptionFault FindDescriptionFault(const QString& detailed, const QString& brief)
{
    if (CodePointCount(detailed) > CFileRecord::kLongDescLength)
        return DescriptionFault::DetailedTooLong;
    if (CodePointCount(brief) > CFileRecord::kShortDescLength)
        return DescriptionFault::BriefTooLong;
    return DescriptionFault::None;
}

QString ReadDescriptionImport(const QString& path)
{
    // A character takes at most four bytes: reading more could never be kept, and a huge file
    // (an archive chosen by mistake) is not read whole.
    constexpr qint64 kMaxBytes = qint64(CFileRecord::kLongDescLength) * 4;
    const QString text = WithLineFeeds(QString::fromUtf8(ReadTextFile(path, kMaxBytes)));
    return LeftCodePoints(text, CFileRecord::kLongDescLength);
}

bool ToggleFileArea(CFileRecord& file, QList<double>& linked, double areaId, QString* failure)
{
    CDatabaseManager& manager = *file.GetManager();
    failure->clear();
    StartWriteWatch(manager);
    const qsizetype index = linked.indexOf(areaId);
    if (index >= 0) {
        if (file.DeleteFromFileArea(areaId)) {
            linked.removeAt(index);
            return false;
        }
        // The link is still there (removing one that is gone succeeds): linking it again would only
        // wait for the same lock a second time.
        *failure = WriteFailure(manager, FileGoneReason());
        return true;
    }
    if (file.AddToFileArea(areaId))
        linked.append(areaId);
    else
        *failure = WriteFailure(manager, FileGoneReason());
    return true;
}

#include "properties/FileProperties.h"

#include "adding/FileUtils.h"
#include "database/CDatabaseManager.h"
#include "database/CFieldExchange.h"
#include "database/CFileRecord.h"

#include <QLocale>

#include <cmath>

void CommitFileProperties(const CFileRecord& workingCopy)
{
    CDatabaseLockGuard lock(CDatabaseManager::DatabaseLock);
    CFileRecord stored(workingCopy.GetManager());
    if (!stored.GetByPrimaryKey(workingCopy, true, true) || !stored.Edit())
        return;
    stored = workingCopy;
    stored.UpdateRecord(); // a failure is logged; the sheet has nobody left to tell
}

std::optional<double> ParseNumberField(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    // The C locale, as the stored numbers are written: a comma is never a decimal point here.
    const double value = QLocale::c().toDouble(trimmed, &ok);
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
    if (CharacterCount(fields.name) > kMaxAuthorField)
        return GeneralFault::NameTooLong;
    if (CharacterCount(fields.email) > kMaxAuthorField)
        return GeneralFault::EmailTooLong;
    if (!ParseNumberField(fields.fileSize))
        return GeneralFault::SizeNotNumber;
    if (CharacterCount(fields.title) > CFileRecord::kTitleLength)
        return GeneralFault::TitleTooLong;
    if (CharacterCount(fields.version) > CFileRecord::kVersionLength)
        return GeneralFault::VersionTooLong;
    if (!ParseNumberField(fields.downloads))
        return GeneralFault::DownloadsNotNumber;
    return GeneralFault::None;
}

DescriptionFault FindDescriptionFault(const QString& detailed, const QString& brief)
{
    if (CharacterCount(detailed) > CFileRecord::kLongDescLength)
        return DescriptionFault::DetailedTooLong;
    if (CharacterCount(brief) > CFileRecord::kShortDescLength)
        return DescriptionFault::BriefTooLong;
    return DescriptionFault::None;
}

QString WithLineFeeds(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString ReadDescriptionImport(const QString& path)
{
    // A character takes at most four bytes: reading more could never be kept, and a huge file
    // (an archive chosen by mistake) is not read whole.
    constexpr qint64 kMaxBytes = qint64(CFileRecord::kLongDescLength) * 4;
    const QString text = WithLineFeeds(QString::fromUtf8(ReadTextFile(path, kMaxBytes)));
    // Keep whole characters only: never half of a surrogate pair.
    int characters = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isLowSurrogate())
            continue;
        if (++characters > CFileRecord::kLongDescLength)
            return text.left(i);
    }
    return text;
}

bool ToggleFileArea(CFileRecord& file, QList<double>& linked, double areaId)
{
    const qsizetype index = linked.indexOf(areaId);
    if (index >= 0 && file.DeleteFromFileArea(areaId)) {
        linked.removeAt(index);
        return false;
    }
    // An unlink that failed goes on as a link; the id is listed once however often that happens.
    if (file.AddToFileArea(areaId) && index < 0)
        linked.append(areaId);
    return true;
}

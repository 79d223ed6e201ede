#pragma once

// Tests that handle dates run under several time zones (TZ=UTC, Europe/Berlin, America/New_York:
// see CMakeLists.txt). Without the zone files the C library quietly falls back to UTC, and every
// zone would pass as UTC does: the zone is checked first.

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QTest>
#include <QTime>

#include <ctime>

namespace ZoneSupport {

// Seconds since 1970 of a UTC date and time.
inline qint64 Utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC).toSecsSinceEpoch();
}

// The offset from UTC, in seconds, that the C library applies at an instant.
inline long LocalOffset(qint64 seconds)
{
    const time_t t = time_t(seconds);
    struct tm local;
    return localtime_r(&t, &local) ? local.tm_gmtoff : 0;
}

// Fails unless the zone TZ names is the one in effect, winter and summer.
inline void RequireZoneInEffect()
{
    tzset();
    const QByteArray zone = qgetenv("TZ");
    struct Expected
    {
        const char* name;
        long winter;
        long summer;
    };
    static const Expected kZones[] = {
        {"UTC", 0, 0},
        {"Europe/Berlin", 3600, 7200},
        {"America/New_York", -5 * 3600, -4 * 3600},
    };
    for (const Expected& expected : kZones) {
        if (zone != expected.name)
            continue;
        const long winter = LocalOffset(Utc(2024, 1, 15, 12));
        const long summer = LocalOffset(Utc(2024, 7, 15, 12));
        QVERIFY2(winter == expected.winter && summer == expected.summer,
                 qPrintable(QStringLiteral("TZ=%1 is not in effect (offsets %2 and %3 s): is tzdata installed?")
                                .arg(QString::fromLatin1(zone))
                                .arg(winter)
                                .arg(summer)));
        return;
    }
}

} // namespace ZoneSupport

#include "FileGenerator.h"

#include "database/CDBException.h"
#include "database/CTroveportDatabaseManager.h"
#include "startup/SafeFormat.h"

#include <QSqlQuery>
#include <QVariant>

#include <random>

namespace {

const char* const kWords[] = {"Star",   "Quest",  "Commander", "Disk",  "Turbo",   "Pascal", "Mega",
                              "Byte",   "Ultra",  "Tools",     "Modem", "Fractal", "Chess",  "Arcade",
                              "Zip",    "Viewer", "Editor",    "Sound", "Blaster", "Planet", "Castle",
                              "Wizard", "Shell",  "Backup",    "Paint", "Font",    "Tetris", "Racer"};
const char* const kPhrases[] = {
    "A shareware classic for DOS.",       "Runs on any 386 with 2 MB of memory.",
    "Includes full source code.",         "Registered version removes the nag screen.",
    "Supports Sound Blaster and AdLib.",  "Works under Windows 3.1 and OS/2.",
    "Compresses files faster than ever.", "Bug fixes and a new manual."};

} // namespace

bool GenerateFiles(quint32 areaId, qint64 count, QTextStream& out, QString* error)
{
    std::mt19937 random(20261205u + areaId);
    auto pick = [&random](auto& list) { return QString::fromLatin1(list[random() % std::size(list)]); };
    QSqlDatabase db;
    try {
        db = theDatabaseManager.GetConnection();
        if (!db.transaction())
            throw CDBException(QStringLiteral("Cannot start a transaction."));
        QSqlQuery file(db), link(db), location(db);
        CDatabaseManager::Prepare(file, QStringLiteral("INSERT INTO files (title, file_size, short_desc, "
                                                       "long_desc, upld_name, upld_email, downloads, "
                                                       "last_download, file_date, version, requires_form) "
                                                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0)"));
        CDatabaseManager::Prepare(link,
                                  QStringLiteral("INSERT INTO file_area (area_id, file_id) VALUES (?, ?)"));
        CDatabaseManager::Prepare(location,
                                  QStringLiteral("INSERT INTO download (file_id, url) VALUES (?, ?)"));
        for (qint64 i = 1; i <= count; ++i) {
            const QString title =
                (pick(kWords) + QLatin1Char(' ') + pick(kWords) + QStringLiteral(" %1").arg(i)).left(30);
            QString longDesc;
            for (unsigned n = 1 + random() % 6; n > 0; --n)
                longDesc += pick(kPhrases) + QLatin1Char(' ');
            const quint32 date = 631152000u + random() % 946684800u; // 1990 to 2020
            file.addBindValue(title);
            file.addBindValue(qint64(1000 + random() % 4000000));
            file.addBindValue(pick(kPhrases));
            file.addBindValue(longDesc.trimmed());
            file.addBindValue(QStringLiteral("Author %1").arg(random() % 5000));
            file.addBindValue(QStringLiteral("author%1@example.org").arg(random() % 5000));
            file.addBindValue(qint64(random() % 10000));
            file.addBindValue(qint64(date + random() % 86400000u));
            file.addBindValue(qint64(date));
            file.addBindValue(SafeFormat(u"%s.%s", random() % 5, random() % 10));
            CDatabaseManager::Exec(file);
            const qint64 id = file.lastInsertId().toLongLong();
            link.addBindValue(qint64(areaId));
            link.addBindValue(id);
            CDatabaseManager::Exec(link);
            location.addBindValue(id);
            location.addBindValue(SafeFormat(u"https://files.example.org/area%s/file%s.zip", areaId, id));
            CDatabaseManager::Exec(location);
            if (i % 100000 == 0)
                out << "  " << i << " files\n" << Qt::flush;
        }
        if (!db.commit())
            throw CDBException(QStringLiteral("Cannot commit the new files."));
        out << "Added " << count << " generated files to area " << areaId << "\n";
        return true;
    } catch (const CDBException& e) {
        if (db.isOpen())
            db.rollback();
        *error = e.GetErrorText();
        return false;
    }
}

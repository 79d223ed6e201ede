#include "PostgresBenchData.h"

#include "BenchSupport.h"

#include "database/CDBException.h"
#include "database/CFileRecord.h"
#include "database/CRecordSet.h"
#include "database/CTroveportDatabaseManager.h"
#include "database/PostgresConnection.h"
#include "database/PostgresEngine.h"
#include "database/SearchStatement.h"
#include "database/SqlDialect.h"
#include "settings/Globals.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextStream>
#include <QUrl>

#include <libpq-fe.h>

#include <cstdio>
#include <cstring>
#include <functional>

using BenchSupport::Milliseconds;

namespace PostgresBench {

// Bumped whenever the generated files change, so that a database made by an older run is made anew.
const QString kDataVersion = QStringLiteral("bench_postgres files v1");
const QString kRareWord = QStringLiteral("quokka");

namespace {

QString Words(const QStringList& words)
{
    return QStringLiteral("(ARRAY['%1']::text[])").arg(words.join(QStringLiteral("','")));
}

// A word of the list, chosen by a hash of the file number and a salt: the same files every run.
QString Pick(const QStringList& words, const QString& salt)
{
    return QStringLiteral("%1[1 + abs(hashint8(i * 64 + %2)) %% %3]")
        .arg(Words(words), salt)
        .arg(words.size())
        .replace(QStringLiteral("%%"), QStringLiteral("%"));
}

// The statements that load the files: titles and descriptions assembled from word lists by the
// server, one download location each (a mirror for every 10th), every file in area 1.
QStringList LoadStatements(qint64 files)
{
    const QStringList adjectives =
        QStringLiteral(
            "amber ancient arcade atomic azure binary bright bronze cosmic crimson crystal cyber "
            "dark deep digital distant electric emerald endless final frozen galactic golden grand "
            "hidden hollow iron jade last lost lunar magic mega midnight mystic neon noble north "
            "ocean pixel primal proto quiet rapid red retro royal rusty secret shadow silent silver "
            "simple smart solar sonic speedy star steel stone storm super swift thunder tiny turbo "
            "ultra urban velvet vivid wild winter wooden zen")
            .split(QLatin1Char(' '));
    const QStringList nouns =
        QStringLiteral(
            "atlas badger basket beacon bridge canyon castle cavern comet compass dragon engine "
            "falcon forest fortress garden glacier harbor island jungle kingdom knight ladder lantern "
            "maze meadow mirror monkey needle orbit palace panther pepper pirate planet puzzle rabbit "
            "raven river robot rocket saddle sailor shield spider station temple thistle tiger tower "
            "tunnel valley village wagon walrus whale wizard wolf")
            .split(QLatin1Char(' '));
    const QStringList kinds =
        QStringLiteral(
            "game editor viewer toolkit utility player compiler manager converter archiver tracker "
            "demo screensaver font library patch driver terminal browser calculator")
            .split(QLatin1Char(' '));
    const QStringList fillers =
        QStringLiteral("with and for the a of in on from by to your new all more fast "
                       "easy full free small many every each old")
            .split(QLatin1Char(' '));
    const QStringList platforms =
        QStringLiteral("DOS Windows Linux Amiga Atari OS/2 Mac BeOS C64 Unix").split(QLatin1Char(' '));
    const QStringList firstNames =
        QStringLiteral("John Mary Peter Anna Lars Ingrid Paolo Chen Yuki Omar Fatima "
                       "Carlos Elena Igor Nina Ravi Sara Tomas Ulla Viktor")
            .split(QLatin1Char(' '));
    const QStringList lastNames =
        QStringLiteral("Smith Jones Berg Rossi Novak Tanaka Garcia Kowalski Larsen "
                       "Meyer Silva Ivanov Dubois Kim Olsen Petrov Moreau Weber Costa "
                       "Singh")
            .split(QLatin1Char(' '));

    // A long description: 12, 24 or 32 words (about 140 characters on average), then a full stop.
    const QStringList wordLists[] = {adjectives, nouns, fillers, kinds};
    auto words = [&](int from, int to) {
        QStringList picks;
        for (int k = from; k < to; ++k)
            picks.append(Pick(wordLists[k % 4], QString::number(k)));
        return QStringLiteral("concat_ws(' ', %1)").arg(picks.join(QStringLiteral(", ")));
    };
    const QString longDesc =
        QStringLiteral("%1 || CASE WHEN i %% 3 <> 0 THEN ' ' || %2 ELSE '' END || "
                       "CASE WHEN i %% 5 = 0 THEN ' ' || %3 ELSE '' END || "
                       "CASE WHEN i %% 6000 = 4007 THEN '. Featuring the %4 level.' ELSE '.' END")
            .arg(words(0, 12), words(12, 24), words(24, 32), kRareWord.toUpper())
            .replace(QStringLiteral("%%"), QStringLiteral("%"));
    const QString firstName = QStringLiteral("%1[1 + i %% %2]").arg(Words(firstNames)).arg(firstNames.size());
    const QString lastName =
        QStringLiteral("%1[1 + (i / 20) %% %2]").arg(Words(lastNames)).arg(lastNames.size());

    const QString insertFiles =
        QStringLiteral(
            "INSERT INTO files (file_id, title, file_size, short_desc, long_desc, upld_name, upld_email, "
            "downloads, last_download, file_date, version, requires_form) "
            "SELECT i, "
            "left(CASE WHEN i %% 6000 = 7 THEN '%1 ' ELSE '' END || initcap(%2) || ' ' || initcap(%3) || ' ' "
            "|| "
            "initcap(%4) || ' ' || (1 + i %% 9), 30), "
            "1000 + abs(hashint8(i)) %% 50000000, "
            "left('A ' || %5 || ' ' || %4 || CASE WHEN i %% 6000 = 2007 THEN ' with a %6' ELSE '' END || "
            "' for ' || %7, 60), "
            "%8, "
            "%9 || ' ' || %10, "
            "lower(%9 || '.' || %10) || (i %% 97) || '@example.org', "
            "abs(hashint8(i * 5)) %% 10000, "
            "631152000 + abs(hashint8(i * 7)) %% 1100000000, "
            "631152000 + abs(hashint8(i * 11)) %% 1000000000, "
            "(1 + i %% 5) || '.' || (i %% 13), "
            "CASE WHEN i %% 50 = 0 THEN 1 ELSE 0 END "
            "FROM generate_series(1, %11) AS i")
            .arg(QString(kRareWord).replace(0, 1, kRareWord[0].toUpper()),
                 Pick(adjectives, QStringLiteral("40")), Pick(nouns, QStringLiteral("41")),
                 Pick(kinds, QStringLiteral("42")), Pick(adjectives, QStringLiteral("43")), kRareWord,
                 Pick(platforms, QStringLiteral("44")), longDesc, firstName)
            .arg(lastName)
            .arg(files)
            .replace(QStringLiteral("%%"), QStringLiteral("%"));
    return {
        insertFiles,
        QStringLiteral("SELECT setval(pg_get_serial_sequence('files', 'file_id'), %1)").arg(files),
        QStringLiteral(
            "INSERT INTO file_area (area_id, file_id) SELECT 1, i FROM generate_series(1, %1) AS i")
            .arg(files),
        QStringLiteral("INSERT INTO download (file_id, url) SELECT i, 'https://files.example.org/pub/' || "
                       "(i % 100) || '/file' || i || '.zip' FROM generate_series(1, %1) AS i")
            .arg(files),
        QStringLiteral(
            "INSERT INTO download (file_id, url) SELECT i, 'ftp://mirror.example.net/troveport/file' || "
            "i || '.zip' FROM generate_series(10, %1, 10) AS i")
            .arg(files),
    };
}

} // namespace

// The index a statement makes; empty for other statements.
QString IndexName(const QString& statement)
{
    static const QRegularExpression name(QStringLiteral("CREATE INDEX IF NOT EXISTS (\\w+)"));
    return name.match(statement).captured(1);
}

// The statements that make the search indexes of files' title, short and long descriptions: the
// columns the searches measured here look in.
QStringList DescriptionIndexStatements()
{
    QStringList statements;
    for (const QString& statement : PostgresSearchIndexStatements()) {
        const QString name = IndexName(statement);
        if (name == QLatin1String("files_title_trgm") || name == QLatin1String("files_short_desc_trgm") ||
            name == QLatin1String("files_long_desc_trgm"))
            statements.append(statement);
    }
    return statements;
}

// Makes those of the search indexes that are missing, or that other statements made (an older
// schema's, which the statements the explorer sends now might not match): each index keeps the
// statement that made it as its comment. The names of the indexes made go to *made.
bool MakeSearchIndexes(CAdmin& admin, const QStringList& statements, QStringList* made, QString* error)
{
    if (!admin.Exec(QStringLiteral("SET maintenance_work_mem = '1GB'"), error))
        return false;
    for (const QString& statement : statements) {
        const QString name = IndexName(statement);
        if (name.isEmpty()) {
            if (!admin.Exec(statement, error))
                return false;
            continue;
        }
        const QString comment = admin.Value(
            QStringLiteral("SELECT obj_description(to_regclass('%1'), 'pg_class')").arg(name), error);
        if (comment == statement)
            continue;
        if (!admin.Exec(QStringLiteral("DROP INDEX IF EXISTS %1").arg(name), error) ||
            !admin.Exec(statement, error) ||
            !admin.Exec(QStringLiteral("COMMENT ON INDEX %1 IS '%2'")
                            .arg(name, QString(statement).replace(QLatin1Char('\''), QStringLiteral("''"))),
                        error))
            return false;
        made->append(name);
    }
    return made->isEmpty() || admin.Exec(QStringLiteral("ANALYZE"), error);
}

// Makes the database when it is missing and the files when it does not hold them; false, with the
// reason printed, when that fails.
bool PrepareDatabase(const QString& serverUri, const QString& databaseUri, const QString& database,
                     qint64 files, QTextStream& out)
{
    QString error;
    {
        CAdmin server(QStringLiteral("bench-server"));
        if (!server.Open(serverUri, &error)) {
            out << "Cannot connect to the server " << DisplayPostgresUri(serverUri) << ": " << error << "\n";
            return false;
        }
        if (server.Value(
                QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = '%1'").arg(database),
                &error) != QLatin1String("1") &&
            !server.Exec(QStringLiteral("CREATE DATABASE %1").arg(database), &error)) {
            out << "Cannot make the database " << database << ": " << error << "\n";
            return false;
        }
    }
    CAdmin admin(QStringLiteral("bench-prepare"));
    if (!admin.Open(databaseUri, &error)) {
        out << "Cannot connect to " << DisplayPostgresUri(databaseUri) << ": " << error << "\n";
        return false;
    }
    const QString mark = QStringLiteral("%1: %2 files").arg(kDataVersion).arg(files);
    // Made in one transaction, so a database with the mark holds every file.
    if (admin.Value(QStringLiteral("SELECT obj_description(to_regclass('files'), 'pg_class')"), &error) ==
        mark) {
        out << "Using the " << files << " files already in " << DisplayPostgresUri(databaseUri)
            << " (made by an earlier run)\n"
            << Qt::flush;
        // An earlier run stopped while its search indexes were dropped, or the schema's indexes changed.
        QStringList made;
        if (!MakeSearchIndexes(admin, PostgresSearchIndexStatements(), &made, &error)) {
            out << "Cannot make the search indexes: " << error << "\n";
            return false;
        }
        if (!made.isEmpty())
            out << "Made the search indexes " << made.join(QStringLiteral(", ")) << " again\n";
        return true;
    }

    out << "Making " << files << " files in " << DisplayPostgresUri(databaseUri)
        << " (a few minutes for 1,000,000 on 2 cores; kept for later runs) ...\n"
        << Qt::flush;
    QElapsedTimer timer;
    timer.start();
    theDatabaseManager.CloseConnection();
    if (!admin.Exec(QStringLiteral("DROP SCHEMA public CASCADE"), &error) ||
        !admin.Exec(QStringLiteral("CREATE SCHEMA public"), &error)) {
        out << error << "\n";
        return false;
    }
    // The explorer makes its tables as it does on any new database.
    try {
        theDatabaseManager.GetConnection();
    } catch (const CDBException& e) {
        out << e.GetErrorText() << "\n";
        return false;
    }
    QStringList statements{QStringLiteral("SET jit = off"), QStringLiteral("BEGIN")};
    // A GIN index grows slowly row by row: the rows go in first and the indexes are made after.
    for (const QString& statement : PostgresSearchIndexStatements()) {
        if (!IndexName(statement).isEmpty())
            statements.append(QStringLiteral("DROP INDEX IF EXISTS %1").arg(IndexName(statement)));
    }
    statements += LoadStatements(files);
    statements.append(QStringLiteral("COMMENT ON TABLE files IS '%1'").arg(mark));
    statements.append(QStringLiteral("COMMIT"));
    for (const QString& statement : statements) {
        if (!admin.Exec(statement, &error)) {
            out << "Cannot make the files: " << error << "\n";
            admin.Exec(QStringLiteral("ROLLBACK"), &error);
            return false;
        }
    }
    QStringList made;
    // The statistics the planner needs; the visibility map too, which autovacuum would make soon on a
    // real server, so that no run depends on whether it has got round to it yet.
    if (!MakeSearchIndexes(admin, PostgresSearchIndexStatements(), &made, &error) ||
        !admin.Exec(QStringLiteral("VACUUM (ANALYZE)"), &error)) {
        out << "Cannot make the search indexes: " << error << "\n";
        return false;
    }
    out << "Made in " << QString::number(Milliseconds(timer) / 1000, 'f', 0) << " s\n";
    return true;
}

} // namespace PostgresBench

#include "FileGenerator.h"

#include "database/CDBException.h"
#include "database/CTroveportDatabaseManager.h"
#include "database/PostgresEngine.h"
#include "database/SqliteSearchIndexes.h"
#include "adding/download/LocalLocation.h"
#include "files/SafeFiles.h"
#include "files/SafeFormat.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

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

const QString kFileColumns = QStringLiteral("title, file_size, short_desc, long_desc, upld_name, upld_email, "
                                            "downloads, last_download, file_date, version, requires_form");
constexpr qint64 kProgressStep = 100000;
// Rows per statement on a server: round trips stay few, and the parameters of one statement
// (12 a row) stay well below PostgreSQL's 65535. Divides the progress step.
constexpr qint64 kBatchRows = 1000;

// The generated files, one after the other: the same sequence for the same area on either engine.
class CFileMaker
{
public:
    explicit CFileMaker(quint32 areaId) : m_random(20261205u + areaId) {}

    // The values of file number `i` (from 1), in the order of kFileColumns but for requires_form.
    QVariantList Next(qint64 i)
    {
        // One draw after the other: the order of a function's arguments is the compiler's choice.
        const QString first = Pick(kWords);
        const QString title =
            (first + QLatin1Char(' ') + Pick(kWords) + QStringLiteral(" %1").arg(i)).left(30);
        QString longDesc;
        for (unsigned n = 1 + m_random() % 6; n > 0; --n)
            longDesc += Pick(kPhrases) + QLatin1Char(' ');
        const quint32 date = 631152000u + m_random() % 946684800u; // 1990 to 2020
        QString shortDesc = Pick(kPhrases);
        // The rare word, without a draw, so that the other values stay as they were.
        const QString rare = QString::fromLatin1(kRareWord);
        QVariantList values{i % 6000 == 0 ? (rare + QLatin1Char(' ') + title).left(30) : title};
        if (i % 6000 == 2000)
            shortDesc = rare + QLatin1Char(' ') + shortDesc;
        if (i % 6000 == 4000)
            longDesc += rare;
        values.append(qint64(1000 + m_random() % 4000000));
        values.append(shortDesc);
        values.append(longDesc.trimmed());
        values.append(QStringLiteral("Author %1").arg(m_random() % 5000));
        values.append(QStringLiteral("author%1@example.org").arg(m_random() % 5000));
        values.append(qint64(m_random() % 10000));
        values.append(qint64(date + m_random() % 86400000u));
        values.append(qint64(date));
        const unsigned major = m_random() % 5;
        values.append(SafeFormat(u"%s.%s", major, m_random() % 10));
        return values;
    }

private:
    template<size_t N> QString Pick(const char* const (&list)[N])
    {
        return QString::fromLatin1(list[m_random() % N]);
    }

    std::mt19937 m_random;
};

// Writes the generated files' copies into an area's directory. The directory is the site's, so
// everything happens relative to descriptors opened without following links, and a copy never
// takes the place of anything already there.
class CGeneratedCopies
{
public:
    explicit CGeneratedCopies(const QString& areaDirectory) : m_area(CSafeDirectory::Open(areaDirectory))
    {
        if (!m_area.IsOpen())
            throw CDBException(m_area.Fault().Message());
    }

    // Writes the copy of the file with this id, of this size; returns its path in the area.
    QString Write(qint64 id, qint64 size)
    {
        const QByteArray group = QByteArray("g") + QByteArray::number(id / 1000).rightJustified(4, '0');
        if (group != m_groupName) {
            if (::mkdirat(m_area.Fd(), group.constData(), 0755) != 0 && errno != EEXIST)
                Fail(m_area.PathOf(group), errno);
            m_group = m_area.Descend(QString::fromLatin1(group));
            if (!m_group.IsOpen())
                throw CDBException(m_group.Fault().Message());
            m_groupName = group;
        }
        const QByteArray name = "file" + QByteArray::number(id) + ".zip";
        CDescriptor fd(::openat(m_group.Fd(), name.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (fd < 0)
            Fail(m_group.PathOf(name), errno);
        // Contents of their own for every id, so that no two copies are alike.
        std::mt19937_64 random{quint64(id)};
        m_bytes.resize(size);
        for (qint64 i = 0; i + 8 <= size; i += 8) {
            const quint64 word = random();
            std::memcpy(m_bytes.data() + i, &word, 8);
        }
        for (qint64 done = 0; done < size;) {
            const ssize_t n = ::write(fd, m_bytes.constData() + done, size_t(size - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                Fail(m_group.PathOf(name), n < 0 ? errno : ENOSPC);
            done += n;
        }
        if (::close(fd.Release()) != 0 && errno != EINTR)
            Fail(m_group.PathOf(name), errno);
        return QString::fromLatin1(group + '/' + name);
    }

    // The size of a copy: a few kilobytes, varied.
    static qint64 SizeFor(qint64 i) { return 1000 + (i * 7919) % 3000; }

private:
    [[noreturn]] static void Fail(const QString& path, int error)
    {
        throw CDBException(FileFault{FileFault::Kind::System, error, path}.Message());
    }

    CSafeDirectory m_area;
    CSafeDirectory m_group;
    QByteArray m_groupName;
    QByteArray m_bytes;
};

QString DownloadUrl(quint32 areaId, qint64 id)
{
    return SafeFormat(u"https://files.example.org/area%s/file%s.zip", areaId, id);
}

// The values of generated file number i: with a copy, the size is the copy's.
QVariantList FileValues(CFileMaker& maker, qint64 i, const CGeneratedCopies* copies)
{
    QVariantList values = maker.Next(i);
    if (copies)
        values[1] = CGeneratedCopies::SizeFor(i);
    return values;
}

// A generated file's location: its copy's, written now, when it has one.
QString Location(quint32 areaId, qint64 id, CGeneratedCopies* copies, const QVariantList& values)
{
    return copies ? FormLocalLocation(areaId, copies->Write(id, values[1].toLongLong())) : DownloadUrl(areaId, id);
}

void Report(qint64 done, QTextStream& out)
{
    if (done % kProgressStep == 0)
        out << "  " << done << " files\n" << Qt::flush;
}

// SQLite works in the process: a prepared statement per row costs little.
void AddOneByOne(QSqlDatabase& db, quint32 areaId, qint64 count, QTextStream& out, CGeneratedCopies* copies)
{
    CFileMaker maker(areaId);
    QSqlQuery file(db), link(db), location(db);
    CDatabaseManager::Prepare(
        file, QStringLiteral("INSERT INTO files (%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0) "
                             "RETURNING file_id")
                  .arg(kFileColumns));
    CDatabaseManager::Prepare(link, QStringLiteral("INSERT INTO file_area (area_id, file_id) VALUES (?, ?)"));
    CDatabaseManager::Prepare(location, QStringLiteral("INSERT INTO download (file_id, url) VALUES (?, ?)"));
    for (qint64 i = 1; i <= count; ++i) {
        const QVariantList values = FileValues(maker, i, copies);
        for (const QVariant& value : values)
            file.addBindValue(value);
        CDatabaseManager::Exec(file);
        if (!file.next())
            throw CDBException(QStringLiteral("The database gave no id for a new file."));
        const qint64 id = file.value(0).toLongLong();
        file.finish();
        link.addBindValue(qint64(areaId));
        link.addBindValue(id);
        CDatabaseManager::Exec(link);
        location.addBindValue(id);
        location.addBindValue(Location(areaId, id, copies, values));
        CDatabaseManager::Exec(location);
        Report(i, out);
    }
}

// One statement for many rows, with n groups of the row's placeholders.
QString ManyRows(const QString& head, const QString& row, qint64 n)
{
    return head + QStringList(n, row).join(QStringLiteral(", "));
}

// Trigram indexes kept up to date row by row make adding many files slower than building them anew
// at the end (a million files: over six minutes, against two and a half with the build). The build
// reads every row, so it pays when the new files are at least as many as those there before.
// Returns true when the indexes were dropped, to be made again.
bool DropSearchIndexesForMany(QSqlDatabase& db, qint64 count)
{
    QSqlQuery query(db);
    CDatabaseManager::Exec(query, QStringLiteral("SELECT count(*) FROM files"));
    const qint64 existing = query.next() ? query.value(0).toLongLong() : 0;
    CDatabaseManager::Exec(
        query, QStringLiteral("SELECT count(*) FROM pg_indexes WHERE schemaname = current_schema() "
                              "AND indexname IN ('%1')")
                   .arg(PostgresSearchIndexNames().join(QStringLiteral("', '"))));
    // Indexes an administrator dropped stay dropped.
    if (count < existing || !query.next() || query.value(0).toInt() == 0)
        return false;
    CDatabaseManager::Exec(query, QStringLiteral("DROP INDEX IF EXISTS ") +
                                      PostgresSearchIndexNames().join(QStringLiteral(", ")));
    return true;
}

// On a server each statement is a round trip: rows go in batches, with ids taken from the
// sequence beforehand, so that each batch costs four statements.
void AddInBatches(QSqlDatabase& db, quint32 areaId, qint64 count, QTextStream& out, CGeneratedCopies* copies)
{
    const bool rebuild = DropSearchIndexesForMany(db, count);
    CFileMaker maker(areaId);
    QSqlQuery ids(db), files(db), links(db), locations(db);
    ids.setForwardOnly(true);
    CDatabaseManager::Prepare(
        ids, QStringLiteral(
                 "SELECT nextval(pg_get_serial_sequence('files', 'file_id')) FROM generate_series(1, ?)"));
    qint64 prepared = 0; // rows the insert statements are prepared for
    for (qint64 done = 0; done < count;) {
        const qint64 n = std::min(kBatchRows, count - done);
        if (n != prepared) {
            CDatabaseManager::Prepare(
                files, ManyRows(QStringLiteral("INSERT INTO files (file_id, %1) VALUES ").arg(kFileColumns),
                                QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0)"), n));
            CDatabaseManager::Prepare(
                links, ManyRows(QStringLiteral("INSERT INTO file_area (area_id, file_id) VALUES "),
                                QStringLiteral("(?, ?)"), n));
            CDatabaseManager::Prepare(locations,
                                      ManyRows(QStringLiteral("INSERT INTO download (file_id, url) VALUES "),
                                               QStringLiteral("(?, ?)"), n));
            prepared = n;
        }
        ids.addBindValue(n);
        CDatabaseManager::Exec(ids);
        QList<qint64> newIds;
        while (ids.next())
            newIds.append(ids.value(0).toLongLong());
        ids.finish();
        if (newIds.size() != n)
            throw CDBException(QStringLiteral("The database gave too few ids for new files."));
        // Ascending, as one at a time would give them.
        std::sort(newIds.begin(), newIds.end());
        for (qint64 id : std::as_const(newIds)) {
            files.addBindValue(id);
            const QVariantList values = FileValues(maker, ++done, copies);
            for (const QVariant& value : values)
                files.addBindValue(value);
            links.addBindValue(qint64(areaId));
            links.addBindValue(id);
            locations.addBindValue(id);
            locations.addBindValue(Location(areaId, id, copies, values));
        }
        CDatabaseManager::Exec(files);
        CDatabaseManager::Exec(links);
        CDatabaseManager::Exec(locations);
        Report(done, out);
    }
    if (rebuild) {
        out << "  Making the search indexes\n" << Qt::flush;
        QSqlQuery query(db);
        CDatabaseManager::Exec(query, QStringLiteral("SET LOCAL maintenance_work_mem = '256MB'"));
        for (const QString& statement : PostgresSearchIndexStatements())
            CDatabaseManager::Exec(query, statement);
    }
}

} // namespace

bool GenerateFiles(quint32 areaId, qint64 count, QTextStream& out, QString* error, const QString& copiesDirectory)
{
    QSqlDatabase db;
    try {
        std::optional<CGeneratedCopies> copies;
        if (!copiesDirectory.isNull())
            copies.emplace(copiesDirectory);
        db = theDatabaseManager.GetConnection();
        if (!db.transaction())
            throw CDBException(QStringLiteral("Cannot start a transaction."));
        if (theDatabaseManager.Engine().StatementsAreRoundTrips())
            AddInBatches(db, areaId, count, out, copies ? &*copies : nullptr);
        else
            AddOneByOne(db, areaId, count, out, copies ? &*copies : nullptr);
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

bool CatchUpSearchIndexes(QTextStream& out, QString* error)
{
    if (theDatabaseManager.Engine().StatementsAreRoundTrips())
        return true;
    QElapsedTimer timer;
    timer.start();
    try {
        if (SqliteSearchIndexesPresent(theDatabaseManager) &&
            SqliteCatchUpSearchIndexes(theDatabaseManager, 0, true))
            out << SafeFormat(u"Indexed the new files for searches in %.1f s\n",
                              double(timer.elapsed()) / 1000);
        return true;
    } catch (const CDBException& e) {
        *error = e.GetErrorText();
        return false;
    }
}

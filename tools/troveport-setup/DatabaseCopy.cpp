#include "DatabaseCopy.h"

#include "database/CDBException.h"
#include "database/CTroveportDatabaseManager.h"
#include "database/PostgresConnection.h"
#include "database/PostgresEngine.h"
#include "database/SqlDialect.h"
#include "files/SafeFormat.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlQuery>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <cmath>
#include <memory>

namespace {

constexpr qint64 kProgressStep = 100000;
// COPY data goes to the server in pieces of about this size: few calls, little memory.
constexpr qsizetype kCopyChunk = 1 << 20;

double Seconds(const QElapsedTimer& timer)
{
    return double(timer.elapsed()) / 1000.0;
}

// A column of an SQLite table, as PRAGMA table_info describes it.
struct SourceColumn
{
    QString name;
    QString type;
    bool notNull = false;
    QString defaultValue; // SQL text; empty when there is none
};

using SqliteStatement = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;

// The SQLite file, read through one snapshot: what the web site writes meanwhile is either wholly
// in the copy or wholly out of it.
class CSqliteSource
{
public:
    explicit CSqliteSource(const QString& file) : m_file(file)
    {
        if (!QFileInfo::exists(file))
            throw CDBException(SafeFormat(u"There is no database %s: the library holds no files yet.", file));
        sqlite3* db = nullptr;
        const int status =
            sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        m_db.reset(db);
        if (status != SQLITE_OK)
            throw CDBException(SafeFormat(u"Cannot open the database %s: %s", file, Error()));
        sqlite3_busy_timeout(db, 10000);
        SqliteStatement begin = Prepare(QStringLiteral("BEGIN"));
        Step(begin.get());
    }

    SqliteStatement Prepare(const QString& sql)
    {
        sqlite3_stmt* statement = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(m_db.get(), text.constData(), int(text.size()), &statement, nullptr) !=
            SQLITE_OK)
            throw CDBException(SafeFormat(u"Cannot read the database %s: %s", m_file, Error()));
        return SqliteStatement(statement, &sqlite3_finalize);
    }

    // True on a row, false at the end.
    bool Step(sqlite3_stmt* statement)
    {
        const int status = sqlite3_step(statement);
        if (status == SQLITE_ROW || status == SQLITE_DONE)
            return status == SQLITE_ROW;
        throw CDBException(SafeFormat(u"Cannot read the database %s: %s", m_file, Error()));
    }

    static QString Text(sqlite3_stmt* statement, int column)
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return QString::fromUtf8(text, sqlite3_column_bytes(statement, column));
    }

    QList<SourceColumn> Columns(const QString& table)
    {
        QList<SourceColumn> columns;
        SqliteStatement info = Prepare(QStringLiteral("PRAGMA table_info(%1)").arg(table));
        while (Step(info.get()))
            columns.append({Text(info.get(), 1), Text(info.get(), 2), sqlite3_column_int(info.get(), 3) != 0,
                            Text(info.get(), 4)});
        if (columns.isEmpty())
            throw CDBException(SafeFormat(u"The database %s has no table %s.", m_file, table));
        return columns;
    }

    // PostgreSQL keeps area links and locations of files that are gone out, where SQLite without
    // its foreign key checks (as a web site may run it) lets them in.
    void CheckLinks()
    {
        SqliteStatement orphans =
            Prepare(QStringLiteral("SELECT (SELECT count(*) FROM download WHERE file_id NOT IN "
                                   "(SELECT file_id FROM files)), (SELECT count(*) FROM file_area WHERE "
                                   "file_id NOT IN (SELECT file_id FROM files))"));
        Step(orphans.get());
        const qint64 locations = sqlite3_column_int64(orphans.get(), 0);
        const qint64 links = sqlite3_column_int64(orphans.get(), 1);
        if (locations || links)
            throw CDBException(SafeFormat(
                u"%lld download locations and %lld area links in %s belong to files that are not in the "
                u"table files, which PostgreSQL does not allow. Delete them first: DELETE FROM download "
                u"WHERE file_id NOT IN (SELECT file_id FROM files); DELETE FROM file_area WHERE file_id NOT "
                u"IN (SELECT file_id FROM files);",
                locations, links, m_file));
    }

    QString Error() const { return QString::fromUtf8(sqlite3_errmsg(m_db.get())); }

private:
    QString m_file;
    std::unique_ptr<sqlite3, int (*)(sqlite3*)> m_db{nullptr, &sqlite3_close};
};

using PostgresResult = std::unique_ptr<PGresult, void (*)(PGresult*)>;

// A libpq connection of the copy's own: COPY needs libpq, and the copy is one transaction on it.
class CPostgresTarget
{
public:
    explicit CPostgresTarget(const QString& uri)
    {
        PostgresParameters parameters;
        QString error;
        if (!ParsePostgresUri(uri, 30, &parameters, &error))
            throw CDBException(error);
        QStringList info;
        const auto add = [&info](const char* name, const QString& value) {
            if (!value.isEmpty())
                info.append(QLatin1String(name) + QLatin1Char('=') + QuoteValue(value));
        };
        add("host", parameters.host);
        add("port", parameters.port >= 0 ? QString::number(parameters.port) : QString());
        add("user", parameters.user);
        add("dbname", parameters.database);
        // The parsed options are already "name='value'" pairs; none holds a ';'.
        info += parameters.options.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        info +=
            {QStringLiteral("application_name='troveport-setup'"), QStringLiteral("client_encoding=UTF8")};
        m_conn.reset(PQconnectdb(info.join(QLatin1Char(' ')).toUtf8().constData()));
        if (PQstatus(m_conn.get()) != CONNECTION_OK)
            throw CDBException(SafeFormat(u"Cannot open the database %s: %s", DisplayPostgresUri(uri),
                                          QString::fromUtf8(PQerrorMessage(m_conn.get())).trimmed()));
    }

    // Runs a statement; the text of the first column of each row it gives.
    QStringList Exec(const QString& sql)
    {
        PostgresResult result(PQexec(m_conn.get(), sql.toUtf8().constData()), &PQclear);
        const ExecStatusType status = PQresultStatus(result.get());
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw CDBException(ErrorOf(result.get()));
        QStringList column;
        for (int row = 0; row < PQntuples(result.get()); ++row)
            column.append(QString::fromUtf8(PQgetvalue(result.get(), row, 0)));
        return column;
    }

    void BeginCopy(const QString& sql)
    {
        PostgresResult result(PQexec(m_conn.get(), sql.toUtf8().constData()), &PQclear);
        if (PQresultStatus(result.get()) != PGRES_COPY_IN)
            throw CDBException(ErrorOf(result.get()));
        m_copying = true;
    }

    // Sends the rows gathered in data and empties it.
    void Put(QByteArray& data)
    {
        if (PQputCopyData(m_conn.get(), data.constData(), int(data.size())) != 1)
            throw CDBException(ErrorOf(nullptr));
        data.clear();
    }

    void EndCopy(const char* failure = nullptr)
    {
        m_copying = false;
        if (PQputCopyEnd(m_conn.get(), failure) != 1)
            throw CDBException(ErrorOf(nullptr));
        PostgresResult result(PQgetResult(m_conn.get()), &PQclear);
        const bool done = PQresultStatus(result.get()) == PGRES_COMMAND_OK;
        const QString error = done ? QString() : ErrorOf(result.get());
        while (PGresult* rest = PQgetResult(m_conn.get()))
            PQclear(rest);
        if (!done && !failure)
            throw CDBException(error);
    }

    // Takes back whatever the transaction did; the server would on disconnecting too, but later.
    void Abandon()
    {
        if (PQstatus(m_conn.get()) != CONNECTION_OK)
            return;
        if (m_copying)
            EndCopy("abandoned");
        PQclear(PQexec(m_conn.get(), "ROLLBACK"));
    }

private:
    static QString QuoteValue(QString value)
    {
        value.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
            .replace(QLatin1Char('\''), QLatin1String("\\'"));
        return QLatin1Char('\'') + value + QLatin1Char('\'');
    }

    // The server's message with its detail and where in the data it arose ("COPY files, line 3").
    QString ErrorOf(const PGresult* result) const
    {
        const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
        if (!primary)
            return QString::fromUtf8(PQerrorMessage(m_conn.get())).trimmed();
        QString text = QString::fromUtf8(primary);
        if (const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL))
            text += QStringLiteral(". ") + QString::fromUtf8(detail);
        if (const char* context = PQresultErrorField(result, PG_DIAG_CONTEXT))
            text += QStringLiteral(" (") +
                    QString::fromUtf8(context).replace(QLatin1Char('\n'), QLatin1String("; ")) +
                    QLatin1Char(')');
        return text;
    }

    std::unique_ptr<PGconn, void (*)(PGconn*)> m_conn{nullptr, &PQfinish};
    bool m_copying = false;
};

// The PostgreSQL type for a column the web site added, after SQLite's rules for a declared type's
// affinity (https://sqlite.org/datatype3.html, 3.1).
QString PostgresType(const QString& declared)
{
    const QString type = declared.toUpper();
    if (type.contains(QLatin1String("INT")))
        return QStringLiteral("bigint");
    if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB")) ||
        type.contains(QLatin1String("TEXT")))
        return QStringLiteral("text");
    if (type.contains(QLatin1String("BLOB")))
        return QStringLiteral("bytea");
    if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA")) ||
        type.contains(QLatin1String("DOUB")))
        return QStringLiteral("double precision");
    return QStringLiteral("text");
}

// A default both engines read alike: a number, a quoted text or NULL. Expressions are not carried.
bool IsPlainDefault(const QString& value)
{
    static const QRegularExpression plain(
        QStringLiteral(R"(^\s*(?:[-+]?\d+(?:\.\d*)?(?:[eE][-+]?\d+)?|'(?:[^']|'')*'|NULL)\s*$)"),
        QRegularExpression::CaseInsensitiveOption);
    return plain.match(value).hasMatch();
}

// What is copied from one table: the columns on both sides, and which hold bytes.
struct TablePlan
{
    QString table;
    QStringList sourceColumns; // as SQLite's SELECT names them
    QStringList targetColumns; // quoted for PostgreSQL
    QList<bool> bytea;
};

// Matches the SQLite table's columns with PostgreSQL's, adding there those only SQLite has.
TablePlan PlanTable(CSqliteSource& source, CPostgresTarget& target, const QString& table, QTextStream& out)
{
    TablePlan plan{table, {}, {}, {}};
    const QStringList existing = target.Exec(
        QStringLiteral("SELECT attname || ':' || (atttypid = 'bytea'::regtype)::text FROM pg_attribute "
                       "WHERE attrelid = '%1'::regclass AND attnum > 0 AND NOT attisdropped")
            .arg(table));
    for (const SourceColumn& column : source.Columns(table)) {
        // SQLite's names ignore case; PostgreSQL's are lower case unless quoted.
        QString name, bytea;
        for (const QString& entry : existing) {
            const qsizetype colon = entry.lastIndexOf(QLatin1Char(':'));
            const QString candidate = entry.left(colon);
            if (candidate == column.name ||
                (name.isEmpty() && candidate.compare(column.name, Qt::CaseInsensitive) == 0)) {
                name = candidate;
                bytea = entry.mid(colon + 1);
            }
        }
        if (name.isEmpty()) {
            const QString type = PostgresType(column.type);
            QString definition =
                QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3").arg(table, QuoteName(column.name), type);
            if (!column.defaultValue.isEmpty() && IsPlainDefault(column.defaultValue))
                definition += QStringLiteral(" DEFAULT ") + column.defaultValue;
            else if (!column.defaultValue.isEmpty())
                out << SafeFormat(u"  The new column %s.%s gets no default: %s is not a plain value.\n",
                                  table, column.name, column.defaultValue);
            if (column.notNull)
                definition += QStringLiteral(" NOT NULL");
            target.Exec(definition);
            out << SafeFormat(u"  Added the column %s.%s (%s)\n", table, column.name, type);
            name = column.name;
            bytea = type == QLatin1String("bytea") ? QStringLiteral("true") : QStringLiteral("false");
        }
        plan.sourceColumns.append(QuoteName(column.name));
        plan.targetColumns.append(QuoteName(name));
        plan.bytea.append(bytea == QLatin1String("true"));
    }
    return plan;
}

// A value in COPY's text format: backslash, tab and line ends escaped.
void AppendEscaped(QByteArray& out, const char* data, qsizetype size)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        const char* escape = c == '\\'   ? "\\\\"
                             : c == '\n' ? "\\n"
                             : c == '\r' ? "\\r"
                             : c == '\t' ? "\\t"
                                         : nullptr;
        if (!escape)
            continue;
        out.append(data + start, i - start).append(escape);
        start = i + 1;
    }
    out.append(data + start, size - start);
}

void AppendBytes(QByteArray& out, const char* data, qsizetype size)
{
    out.append("\\\\x").append(QByteArray::fromRawData(data, size).toHex());
}

// One SQLite value as COPY reads it into a column; bytes go to a bytea column as they are.
void AppendValue(QByteArray& out, sqlite3_stmt* row, int column, bool bytea)
{
    QByteArray number;
    switch (sqlite3_column_type(row, column)) {
    case SQLITE_NULL:
        out.append("\\N");
        return;
    case SQLITE_INTEGER:
        number = QByteArray::number(qint64(sqlite3_column_int64(row, column)));
        break;
    case SQLITE_FLOAT: {
        // As many digits as the value needs to come back the same, and no more.
        const double value = sqlite3_column_double(row, column);
        number = std::isinf(value) ? QByteArray(value > 0 ? "Infinity" : "-Infinity")
                                   : QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
        break;
    }
    default: { // text or bytes; the pointer must be taken before the size
        const bool blob = sqlite3_column_type(row, column) == SQLITE_BLOB;
        const auto* data = static_cast<const char*>(blob ? sqlite3_column_blob(row, column)
                                                         : sqlite3_column_text(row, column));
        const int size = sqlite3_column_bytes(row, column);
        if (bytea)
            AppendBytes(out, data, size);
        else
            AppendEscaped(out, data, size);
        return;
    }
    }
    if (bytea)
        AppendBytes(out, number.constData(), number.size());
    else
        out.append(number);
}

qint64 CopyRows(CSqliteSource& source, CPostgresTarget& target, const TablePlan& plan, const QString& order,
                const char* unit, QTextStream& out)
{
    SqliteStatement rows =
        source.Prepare(QStringLiteral("SELECT %1 FROM %2 %3")
                           .arg(plan.sourceColumns.join(QStringLiteral(", ")), plan.table, order));
    target.BeginCopy(QStringLiteral("COPY %1 (%2) FROM STDIN")
                         .arg(plan.table, plan.targetColumns.join(QStringLiteral(", "))));
    QByteArray data;
    data.reserve(kCopyChunk + 64 * 1024);
    qint64 count = 0;
    const int columns = int(plan.bytea.size());
    while (source.Step(rows.get())) {
        for (int i = 0; i < columns; ++i) {
            if (i > 0)
                data.append('\t');
            AppendValue(data, rows.get(), i, plan.bytea[i]);
        }
        data.append('\n');
        if (data.size() >= kCopyChunk)
            target.Put(data);
        if (++count % kProgressStep == 0)
            out << "  " << count << " " << unit << "\n" << Qt::flush;
    }
    if (!data.isEmpty())
        target.Put(data);
    target.EndCopy();
    return count;
}

} // namespace

bool CopyDatabaseToPostgres(const QString& sqliteFile, const QString& uri, QTextStream& out, QString* error)
{
    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<CPostgresTarget> target;
    try {
        CSqliteSource source(sqliteFile);
        source.CheckLinks();
        // The explorer's own schema first, made as the explorer makes it.
        theDatabaseManager.SetDatabaseConnection(uri);
        theDatabaseManager.GetConnection();
        theDatabaseManager.CloseConnection();
        const QString name = theDatabaseManager.GetDatabaseName();
        out << SafeFormat(u"Copying %s to %s\n", sqliteFile, name) << Qt::flush;

        target = std::make_unique<CPostgresTarget>(uri);
        target->Exec(QStringLiteral("SET client_min_messages = warning")); // no "already exists, skipping"
        target->Exec(QStringLiteral("BEGIN"));
        target->Exec(QStringLiteral("SET LOCAL maintenance_work_mem = '256MB'"));
        target->Exec(QStringLiteral("SET LOCAL lock_timeout = '10s'"));
        // Nobody adds files between the check and the copy.
        try {
            target->Exec(QStringLiteral("LOCK TABLE files, download, file_area IN ACCESS EXCLUSIVE MODE"));
        } catch (const CDBException& e) {
            throw CDBException(SafeFormat(u"The database %s is in use (%s); stop what uses it and try again.",
                                          name, e.GetErrorText()));
        }
        if (target->Exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM files)")).value(0) ==
            QLatin1String("t"))
            throw CDBException(
                SafeFormat(u"The database %s already holds files; copy into one that holds none.", name));

        const TablePlan files = PlanTable(source, *target, QStringLiteral("files"), out);
        TablePlan download = PlanTable(source, *target, QStringLiteral("download"), out);
        const TablePlan links = PlanTable(source, *target, QStringLiteral("file_area"), out);
        // SQLite's implicit rowid is the order the locations were added; PostgreSQL's keeps it in a column.
        download.sourceColumns.prepend(QStringLiteral("rowid"));
        download.targetColumns.prepend(QStringLiteral("rowid"));
        download.bytea.prepend(false);

        // Building the search indexes once at the end is much faster than keeping them up to date
        // row by row.
        target->Exec(QStringLiteral("DROP INDEX IF EXISTS ") +
                     PostgresSearchIndexNames().join(QStringLiteral(", ")));
        const qint64 fileCount =
            CopyRows(source, *target, files, QStringLiteral("ORDER BY file_id"), "files", out);
        const qint64 locationCount =
            CopyRows(source, *target, download, QStringLiteral("ORDER BY rowid"), "download locations", out);
        const qint64 linkCount = CopyRows(source, *target, links, QString(), "area links", out);
        // New files and locations get keys above the copied ones, as SQLite would give them.
        const struct
        {
            const char* table;
            const char* column;
        } keys[] = {{"files", "file_id"}, {"download", "rowid"}};
        for (const auto& key : keys)
            target->Exec(
                QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', '%2'), GREATEST(max(%2), 1), "
                               "COALESCE(max(%2) >= 1, false)) FROM %1")
                    .arg(QLatin1String(key.table), QLatin1String(key.column)));
        out << "  Making the search indexes\n" << Qt::flush;
        for (const QString& statement : PostgresSearchIndexStatements())
            target->Exec(statement);
        target->Exec(QStringLiteral("ANALYZE files, download, file_area"));
        target->Exec(QStringLiteral("COMMIT"));
        out << SafeFormat(u"Copied %lld files, %lld download locations and %lld area links to %s in %.1f s\n",
                          fileCount, locationCount, linkCount, name, Seconds(timer));
        return true;
    } catch (const CDBException& e) {
        if (target)
            target->Abandon();
        theDatabaseManager.CloseConnection();
        *error = e.GetErrorText();
        return false;
    }
}

bool SetSearchIndexes(bool on, QTextStream& out, QString* error)
{
    QElapsedTimer timer;
    timer.start();
    try {
        int shown = -1;
        theDatabaseManager.Engine().SetSearchIndexes(theDatabaseManager, on, [&out, &shown](int percent) {
            // Every tenth: a large library takes minutes, a terminal needs no more.
            if (percent >= shown + 10 || (percent == 100 && shown != 100)) {
                shown = percent;
                out << SafeFormat(u"  Indexing the files: %s%%\n", percent) << Qt::flush;
            }
        });
        out << SafeFormat(on ? u"Made the search indexes of %s in %.1f s\n"
                             : u"Dropped the search indexes of %s in %.1f s\n",
                          theDatabaseManager.GetDatabaseName(), Seconds(timer));
        theDatabaseManager.CloseConnection();
        return true;
    } catch (const CDBException& e) {
        theDatabaseManager.CloseConnection();
        *error = e.GetErrorText();
        return false;
    }
}

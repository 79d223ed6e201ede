#pragma once

// The database bench_postgres measures: a plain connection of the benchmark's own for what the
// explorer never does, psql as the reference, and the files, made on the server by server-side SQL.

#include "database/CDBException.h"
#include "database/PostgresEngine.h"

#include <QList>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QUrl>

namespace PostgresBench {

// The distinctive word: in the title of every 6000th file, in the short description of another and
// in the long description of a third (about 500 files in 1,000,000), never anywhere else.
extern const QString kRareWord;

// A plain connection of the benchmark's own for what the explorer never does (making the database,
// loading the files, dropping and making indexes, EXPLAIN), so that the explorer's connection and
// its statement count carry only the work measured.
class CAdmin
{
public:
    explicit CAdmin(QString name) : m_name(std::move(name)) {}
    ~CAdmin()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    CAdmin(const CAdmin&) = delete;
    CAdmin& operator=(const CAdmin&) = delete;

    bool Open(const QString& uri, QString* error)
    {
        try {
            CPostgresEngine::OpenConnection(m_name, uri, 30);
            return true;
        } catch (const CDBException& e) {
            *error = e.GetErrorText();
            return false;
        }
    }

    // Runs a statement; the rows it gives, each as texts, when rows is given.
    bool Exec(const QString& statement, QString* error, QList<QStringList>* rows = nullptr)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        query.setForwardOnly(true);
        if (!query.exec(statement)) {
            *error = QStringLiteral("%1\n  in: %2").arg(query.lastError().text(), statement.left(300));
            return false;
        }
        while (rows && query.next()) {
            QStringList row;
            for (int i = 0; i < query.record().count(); ++i)
                row.append(query.value(i).toString());
            rows->append(row);
        }
        return true;
    }

    // The first column of the first row, or an empty text.
    QString Value(const QString& statement, QString* error)
    {
        QList<QStringList> rows;
        if (!Exec(statement, error, &rows) || rows.isEmpty() || rows[0].isEmpty())
            return QString();
        return rows[0][0];
    }

private:
    QString m_name;
};

// psql, the reference: one process per batch of statements, on its own connection made before its
// clock starts, with \timing on and the rows sent to /dev/null. \timing covers sending a statement
// until its whole result has arrived, before psql prints it: the same span the explorer is timed for.
class CPsql
{
public:
    explicit CPsql(QString uri) : m_uri(std::move(uri)) {}

    // The times psql reports, in milliseconds, one per statement in order; empty on failure. A new
    // server process serves each psql: the statements are planned once first (EXPLAIN, not timed), so
    // that psql, like the explorer's long-lived connection, finds the tables' descriptions cached.
    QList<double> Times(const QStringList& statements, QString* error) const
    {
        QString script = QStringLiteral("\\set ON_ERROR_STOP 1\n\\o /dev/null\n\\timing on\n");
        for (const QString& statement : statements)
            script += QStringLiteral("EXPLAIN ") + statement + QStringLiteral(";\n");
        for (const QString& statement : statements)
            script += statement + QStringLiteral(";\n");
        QProcess process;
        process.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), m_uri});
        if (!process.waitForStarted()) {
            *error = QStringLiteral("psql does not start: %1").arg(process.errorString());
            return {};
        }
        process.write(script.toUtf8());
        process.closeWriteChannel();
        if (!process.waitForFinished(-1) || process.exitCode() != 0) {
            *error =
                QStringLiteral("psql failed: %1").arg(QString::fromLocal8Bit(process.readAllStandardError()));
            return {};
        }
        QList<double> times;
        static const QRegularExpression timeLine(QStringLiteral("^Time: ([0-9.]+) ms"),
                                                 QRegularExpression::MultilineOption);
        auto matches = timeLine.globalMatch(QString::fromLocal8Bit(process.readAllStandardOutput()));
        while (matches.hasNext())
            times.append(matches.next().captured(1).toDouble());
        if (times.size() != 2 * statements.size()) {
            *error = QStringLiteral("psql reported %1 times for %2 statements")
                         .arg(times.size())
                         .arg(2 * statements.size());
            return {};
        }
        return times.mid(statements.size());
    }

private:
    QString m_uri;
};

// The index a statement makes; empty for other statements.
QString IndexName(const QString& statement);
// The statements that make the search indexes of files' title, short and long descriptions: the
// columns the searches measured here look in.
QStringList DescriptionIndexStatements();
// Makes those of the search indexes that are missing, or that other statements made (an older
// schema's, which the statements the explorer sends now might not match): each index keeps the
// statement that made it as its comment. The names of the indexes made go to *made.
bool MakeSearchIndexes(CAdmin& admin, const QStringList& statements, QStringList* made, QString* error);
// Makes the database when it is missing and the files when it does not hold them; false, with the
// reason printed, when that fails.
bool PrepareDatabase(const QString& serverUri, const QString& databaseUri, const QString& database,
                     qint64 files, QTextStream& out);

} // namespace PostgresBench

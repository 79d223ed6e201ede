#pragma once

#include <QSqlDatabase>
#include <QString>

struct pg_conn; // libpq's PGconn

// What Qt's PostgreSQL driver needs to connect, taken from a connection URI
// ("postgresql://user@host:port/dbname?sslmode=require").
struct PostgresParameters
{
    QString host;  // empty: libpq's default (the local socket)
    int port = -1; // -1: libpq's default
    QString user;
    QString database;
    QString options; // "name=value" pairs for Qt's driver, separated by ';'
};

// Parses a connection URI. Passwords are refused: they belong in libpq's password file
// (~/.pgpass, or the file PGPASSFILE names), never in a settings file others can read. Bounded
// waits are added unless the URI sets its own: a server that goes away must not freeze the window.
// False, with a message for the administrator in *error, when the text is not such a URI.
bool ParsePostgresUri(const QString& uri, int connectTimeoutSeconds, PostgresParameters* parameters,
                      QString* error);

// The URI as it may be shown and logged: the same text without a password.
QString DisplayPostgresUri(const QString& uri);

// libpq's connection behind a connection of Qt's PostgreSQL driver; null for any other.
pg_conn* PostgresHandle(const QSqlDatabase& db);
// True when the connection is PostgreSQL's and libpq knows it is broken (the server went away).
bool PostgresConnectionLost(const QSqlDatabase& db);
// The same, after reading what the server sent meanwhile without waiting: a server that ended the
// session (a restart, an administrator) is noticed before the next statement fails on it.
bool PostgresConnectionEnded(const QSqlDatabase& db);
// True when the connection is PostgreSQL's and inside a transaction block.
bool PostgresInTransaction(const QSqlDatabase& db);
// True when the connection is PostgreSQL's and its transaction failed: a COMMIT would take it back.
bool PostgresTransactionFailed(const QSqlDatabase& db);

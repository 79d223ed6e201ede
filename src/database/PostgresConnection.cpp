#include "database/PostgresConnection.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <QStringList>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>

#include <libpq-fe.h>

PGconn* PostgresHandle(const QSqlDatabase& db)
{
    if (!db.isValid() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    // Qt 6 names the type after the struct behind libpq's typedef: "pg_conn*" (Qt 5: "PGconn*").
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(handle.constData());
}

namespace {

// A value as libpq's "name=value" syntax needs it.
QString QuoteOption(const QString& value)
{
    QString quoted = value;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

} // namespace

bool ParsePostgresUri(const QString& uri, int connectTimeoutSeconds, PostgresParameters* parameters,
                      QString* error)
{
    const QUrl url(uri.trimmed(), QUrl::StrictMode);
    if (!url.isValid() ||
        (url.scheme() != QLatin1String("postgresql") && url.scheme() != QLatin1String("postgres"))) {
        *error = QStringLiteral("DatabaseConnection is not a PostgreSQL connection URI "
                                "(postgresql://user@host:port/database).");
        return false;
    }
    if (!url.password().isEmpty()) {
        *error = QStringLiteral("DatabaseConnection holds a password. Keep it in ~/.pgpass (or the file "
                                "PGPASSFILE names) and take it out of the setting.");
        return false;
    }
    PostgresParameters result;
    result.host = url.host();
    result.port = url.port(-1);
    result.user = url.userName();
    result.database = url.path().mid(1); // without the leading '/'
    QStringList options;
    bool hasConnectTimeout = false, hasKeepalives = false, hasUserTimeout = false;
    for (const auto& [name, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        // Qt's driver splits its options at ';'.
        if (name.contains(QLatin1Char(';')) || value.contains(QLatin1Char(';')) ||
            name.contains(QLatin1Char('=')) || name.contains(QLatin1Char(' ')) || name.isEmpty()) {
            *error =
                QStringLiteral("DatabaseConnection has an option that cannot be passed on: %1").arg(name);
            return false;
        }
        if (name == QLatin1String("password")) {
            *error = QStringLiteral("DatabaseConnection holds a password. Keep it in ~/.pgpass (or the file "
                                    "PGPASSFILE names) and take it out of the setting.");
            return false;
        }
        if (name == QLatin1String("host"))
            result.host = value; // a socket directory, as libpq's URIs allow
        else if (name == QLatin1String("port"))
            result.port = value.toInt();
        else if (name == QLatin1String("user"))
            result.user = value;
        else if (name == QLatin1String("dbname"))
            result.database = value;
        else
            options.append(name + QLatin1Char('=') + QuoteOption(value));
        hasConnectTimeout |= name == QLatin1String("connect_timeout");
        hasKeepalives |= name.startsWith(QLatin1String("keepalives"));
        hasUserTimeout |= name == QLatin1String("tcp_user_timeout");
    }
    // A dead server or network shows as an error within seconds instead of a wait without end:
    // keepalives notice a peer that stopped answering even while a result is awaited, and the user
    // timeout a send that is never acknowledged. A slow statement is not cut short by either.
    if (!hasConnectTimeout)
        options.append(QStringLiteral("connect_timeout=%1").arg(connectTimeoutSeconds));
    if (!hasKeepalives)
        options.append(
            QStringLiteral("keepalives=1;keepalives_idle=5;keepalives_interval=2;keepalives_count=3"));
    if (!hasUserTimeout)
        options.append(QStringLiteral("tcp_user_timeout=10000"));
    options.append(QStringLiteral("application_name='troveport-explorer'"));
    result.options = options.join(QLatin1Char(';'));
    *parameters = result;
    return true;
}

QString DisplayPostgresUri(const QString& uri)
{
    QUrl url(uri.trimmed());
    if (url.isValid()) {
        url.setPassword(QString());
        QUrlQuery query(url);
        query.removeAllQueryItems(QStringLiteral("password"));
        url.setQuery(query);
        return url.toString();
    }
    // A setting QUrl cannot read may still hold a password the user meant: cut what could be one.
    static const QRegularExpression userPassword(QStringLiteral("(//[^/@:]*):[^/@]*@"));
    static const QRegularExpression passwordOption(QStringLiteral("([?&])password=[^&]*"),
                                                   QRegularExpression::CaseInsensitiveOption);
    return QString(uri)
        .replace(userPassword, QStringLiteral("\\1@"))
        .replace(passwordOption, QStringLiteral("\\1"));
}

bool PostgresConnectionLost(const QSqlDatabase& db)
{
    PGconn* conn = PostgresHandle(db);
    return conn && PQstatus(conn) == CONNECTION_BAD;
}

bool PostgresConnectionEnded(const QSqlDatabase& db)
{
    PGconn* conn = PostgresHandle(db);
    if (!conn)
        return false;
    // The first read takes the server's farewell message, the second finds the connection closed.
    for (int read = 0; read < 2; ++read) {
        if (!PQconsumeInput(conn) || PQstatus(conn) == CONNECTION_BAD)
            return true;
    }
    return false;
}

// The connection's transaction state. Qt's driver leaves the end of a command's answer unread
// until the next command, and libpq calls the connection busy ("active") until then: reading what
// has arrived lets libpq see the server ready again. Nothing a query still has to fetch is lost.
PGTransactionStatusType SettledTransactionStatus(PGconn* conn)
{
    PQconsumeInput(conn);
    PQisBusy(conn);
    return PQtransactionStatus(conn);
}

bool PostgresInTransaction(const QSqlDatabase& db)
{
    PGconn* conn = PostgresHandle(db);
    if (!conn)
        return false;
    const PGTransactionStatusType status = SettledTransactionStatus(conn);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

bool PostgresTransactionFailed(const QSqlDatabase& db)
{
    PGconn* conn = PostgresHandle(db);
    return conn && SettledTransactionStatus(conn) == PQTRANS_INERROR;
}

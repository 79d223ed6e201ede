#include "database/PostgresKeys.h"

#include "database/CDatabaseManager.h"
#include "database/CDBException.h"
#include "database/PostgresConnection.h"

#include <QSqlError>

#include <libpq-fe.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

QString NumberPostgresParameters(const QString& statement)
{
    QString numbered;
    numbered.reserve(statement.size() + 8);
    QChar quote; // the quote of the literal or name being read, or none
    int parameter = 0;
    for (const QChar c : statement) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar(); // a doubled quote closes and opens again
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('?')) {
            numbered += QLatin1Char('$') + QString::number(++parameter);
            continue;
        }
        numbered += c;
    }
    return numbered;
}

namespace {

// A key as the server wrote it: an integer, or a number with a fraction from a column the site
// declared otherwise (cut to its whole part). A number beyond what a key holds gives the
// largest key, which the record set leaves out as it does every key beyond the exact range.
qint64 ParseKey(const char* text)
{
    char* end = nullptr;
    const long long key = std::strtoll(text, &end, 10);
    if (*end == '\0')
        return qint64(key);
    const double number = std::strtod(text, nullptr);
    return std::fabs(number) < 9.0e18 ? qint64(number) : std::numeric_limits<qint64>::max();
}

} // namespace

bool ReadPostgresKeys(const QSqlDatabase& db, const QString& statement, const QVariantList& values,
                      std::vector<qint64>* keys)
{
    PGconn* conn = PostgresHandle(db);
    if (!conn || PQtransactionStatus(conn) == PQTRANS_ACTIVE) // not libpq's, or a result still pending
        return false;
    std::vector<QByteArray> texts;
    std::vector<const char*> parameters;
    texts.reserve(size_t(values.size()));
    for (const QVariant& value : values) {
        texts.push_back(value.isNull() ? QByteArray() : value.toString().toUtf8());
        parameters.push_back(value.isNull() ? nullptr : texts.back().constData());
    }
    const QByteArray sql = NumberPostgresParameters(statement).toUtf8();
    CDatabaseManager::NoteStatementSent();
    // Sent unnamed, with its values, in one round trip; the result arrives whole, as Qt reads it.
    const std::unique_ptr<PGresult, decltype(&PQclear)> result(
        PQexecParams(conn, sql.constData(), int(parameters.size()), nullptr, parameters.data(), nullptr,
                     nullptr, 0),
        &PQclear);
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK) {
        const char* code = result ? PQresultErrorField(result.get(), PG_DIAG_SQLSTATE) : nullptr;
        const QString message =
            QString::fromUtf8(result ? PQresultErrorMessage(result.get()) : PQerrorMessage(conn));
        throw CDBException(CDatabaseManager::ErrorText(
            QSqlError(QString(), message, QSqlError::StatementError, QString::fromLatin1(code ? code : ""))));
    }
    const int rows = PQntuples(result.get());
    if (PQnfields(result.get()) < 1)
        return true;
    keys->reserve(keys->size() + size_t(rows));
    for (int i = 0; i < rows; ++i)
        keys->push_back(PQgetisnull(result.get(), i, 0) ? 0 : ParseKey(PQgetvalue(result.get(), i, 0)));
    return true;
}

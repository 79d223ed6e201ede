#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <vector>

// Reads the first column of every row of a key statement through libpq itself: an area of a million
// files is a million keys, which Qt's driver would make into a million values one by one. Values
// are bound to the statement's '?' parameters in order (as text); the statement costs one round
// trip. False, with nothing read, when the connection is not one of libpq's; throws CDBException
// with the server's text when the statement fails.
bool ReadPostgresKeys(const QSqlDatabase& db, const QString& statement, const QVariantList& values,
                      std::vector<qint64>* keys);

// The statement with its '?' parameters (outside quotes) numbered as PostgreSQL's $1, $2 ...
QString NumberPostgresParameters(const QString& statement);

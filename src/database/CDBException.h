#pragma once

#include <QString>

#include <exception>

// A database failure, carrying the database's own error text.
class CDBException : public std::exception
{
public:
    explicit CDBException(QString error) : m_strError(std::move(error)), m_utf8(m_strError.toUtf8()) {}

    const QString& GetErrorText() const { return m_strError; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_strError;
    QByteArray m_utf8;
};

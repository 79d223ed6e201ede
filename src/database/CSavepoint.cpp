#include "database/CSavepoint.h"

#include "database/CDatabaseManager.h"
#include "database/CDBException.h"

// SQLite starts a transaction for a savepoint taken outside one; PostgreSQL refuses such a
// savepoint, so there the outermost one is a transaction of its own.
CSavepoint::CSavepoint(CDatabaseManager* manager, const QString& name) : m_manager(manager), m_name(name)
{
    try {
        m_transaction = m_manager->GetEngine() == SqlEngine::Postgres && !m_manager->InTransaction();
    } catch (const CDBException& e) {
        m_manager->LogError(e.GetErrorText());
        return;
    }
    m_open = Run(m_transaction ? QStringLiteral("BEGIN") : QStringLiteral("SAVEPOINT ") + m_name);
}

CSavepoint::~CSavepoint()
{
    if (!m_open)
        return;
    if (m_transaction)
        Run(QStringLiteral("ROLLBACK"));
    else if (Run(QStringLiteral("ROLLBACK TO ") + m_name))
        Run(QStringLiteral("RELEASE ") + m_name);
}

bool CSavepoint::Release()
{
    if (!m_open)
        return true; // the writes were committed one by one
    if (m_transaction && m_manager->TransactionFailed()) {
        m_manager->LogError(QStringLiteral("The transaction failed; its writes were taken back."));
        return false;
    }
    if (!Run(m_transaction ? QStringLiteral("COMMIT") : QStringLiteral("RELEASE ") + m_name))
        return false; // still open: the destructor takes the writes back
    m_open = false;
    return true;
}

bool CSavepoint::Run(const QString& statement)
{
    try {
        m_manager->Run(statement);
        return true;
    } catch (const CDBException& e) {
        m_manager->LogError(e.GetErrorText());
        return false;
    }
}

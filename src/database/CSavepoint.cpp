#include "database/CSavepoint.h"

#include "database/CDatabaseManager.h"
#include "database/CDBException.h"

CSavepoint::CSavepoint(CDatabaseManager* manager, const QString& name) : m_manager(manager)
{
    try {
        m_statements = m_manager->Engine().Savepoint(*m_manager, name);
    } catch (const CDBException& e) {
        m_manager->LogError(e.GetErrorText());
        return;
    }
    m_open = Run(m_statements.open);
}

CSavepoint::~CSavepoint()
{
    if (!m_open)
        return;
    // Each step only once the one before it went through.
    for (const QString& statement : std::as_const(m_statements.takeBack)) {
        if (!Run(statement))
            break;
    }
}

bool CSavepoint::Release()
{
    if (!m_open)
        return true; // the writes were committed one by one
    if (m_statements.checkFailed && m_manager->TransactionFailed()) {
        m_manager->LogError(QStringLiteral("The transaction failed; its writes were taken back."));
        return false;
    }
    if (!Run(m_statements.keep))
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

#include "database/CSavepoint.h"

#include "database/CDatabaseManager.h"
#include "database/CDBException.h"

CSavepoint::CSavepoint(CDatabaseManager* manager, const QString& name) : m_manager(manager), m_name(name)
{
    m_open = Run(QStringLiteral("SAVEPOINT ") + m_name);
}

CSavepoint::~CSavepoint()
{
    if (m_open && Run(QStringLiteral("ROLLBACK TO ") + m_name))
        Run(QStringLiteral("RELEASE ") + m_name);
}

bool CSavepoint::Release()
{
    if (!m_open)
        return true; // the writes were committed one by one
    if (!Run(QStringLiteral("RELEASE ") + m_name))
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

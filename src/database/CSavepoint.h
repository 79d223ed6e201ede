#pragma once

#include "database/DatabaseEngine.h"

#include <QString>

class CDatabaseManager;

// A savepoint on the calling thread's connection. The writes made while it is open are committed
// together when it is released (at once outside a transaction, with the enclosing transaction
// inside one), so that each costs one commit instead of one each; destroyed unreleased, it takes
// them back. When the savepoint cannot be started, the writes go ahead one by one (logged).
class CSavepoint
{
public:
    CSavepoint(CDatabaseManager* manager, const QString& name);
    ~CSavepoint();
    CSavepoint(const CSavepoint&) = delete;
    CSavepoint& operator=(const CSavepoint&) = delete;

    // Keeps the writes; false (logged) when the database refused them.
    bool Release();

private:
    bool Run(const QString& statement);

    CDatabaseManager* m_manager;
    CSavepointStatements m_statements; // as the engine says them
    bool m_open = false;
};

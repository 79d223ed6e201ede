#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Several file changes that land together. Commit first writes every new file under a temporary
// name beside its target (the step that runs out of space or permission); only when all are written
// are they moved into place, in the order they were staged. Should a move fail, the files already
// moved get their old contents back, so the changes land whole or not at all. A run killed midway
// leaves its targets as they were, or moved in the staged order, plus temporary files that
// RemoveLeftovers clears away.
class CStagedFiles
{
public:
    void Write(const QString& fileName, const QByteArray& data);
    void Remove(const QString& fileName);
    bool IsEmpty() const { return m_changes.isEmpty(); }
    bool Commit(QString* error);

    // Temporary files of runs that were interrupted; call it only while holding the library's lock,
    // when no other run can be writing one.
    static void RemoveLeftovers(const QString& directory);

private:
    struct Change
    {
        QString target;
        QByteArray data;
        bool remove = false;
        QString temporary;
        bool existed = false; // what the target held before, to put back after a failed move
        QByteArray oldData;
    };

    bool WriteTemporary(Change& change, QString* error);
    void DiscardTemporaries();
    QString PutBack(qsizetype applied);

    QList<Change> m_changes;
};

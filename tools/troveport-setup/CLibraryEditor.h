#pragma once

#include "startup/CMappedFile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One file area as troveport-setup edits it.
struct AreaDefinition
{
    quint32 id = 0; // 0 when adding: the next free id is given
    QString name;
    QString path;
    QString ftpAlias;
    QString httpAlias;
    quint32 flags = 0;
};

// Edits a library's "Filearea.dat" and group files the way the explorer expects them to be kept:
// the table's exclusive lock is held from Open until the editor is destroyed, and every file is
// replaced atomically, so neither the explorer nor a crash ever sees a half-written table.
class CLibraryEditor
{
public:
    explicit CLibraryEditor(const QString& databaseDirectory);

    static QString TableName(const QString& databaseDirectory);

    // Creates the directory and a table holding only its header record, when there is none yet.
    static bool Create(const QString& databaseDirectory, QString* error);

    // Locks and reads the table. Fails when it is missing or another program has it open.
    bool Open(QString* error);

    QList<AreaDefinition> Areas() const;
    bool FindArea(quint32 id, AreaDefinition* area) const;
    // Checks the fields, creates the area's directory when missing, gives a new area an id.
    bool AddArea(AreaDefinition& area, QString* error);
    bool ChangeArea(const AreaDefinition& area, QString* error);
    // Removes the area from the table (Save writes it); RemoveFromGroups then takes it out of the
    // group files, after the table is saved, so that a failure leaves at worst an unknown id.
    bool RemoveArea(quint32 id, QString* error);
    bool RemoveFromGroups(quint32 id, QString* error);
    // Writes the table, replacing the file atomically, and keeps it locked.
    bool Save(QString* error);

    QStringList GroupNames() const;
    bool ReadGroup(const QString& name, QList<quint32>* ids, QString* error) const;
    bool WriteGroup(const QString& name, const QList<quint32>& ids, QString* error);
    bool RemoveGroup(const QString& name, QString* error);

    static bool CheckGroupName(const QString& name, QString* error);
    // A database directory must fit the 259-byte path that every reader of it allows.
    static bool CheckDirectory(const QString& databaseDirectory, QString* error);

private:
    bool CheckArea(AreaDefinition& area, bool isNew, QString* error) const;
    QString GroupFileName(const QString& name) const;
    bool Lock(QString* error);

    QString m_directory;
    CMappedFile m_table;
    QByteArray m_header;
    QList<QByteArray> m_records; // raw 868-byte area records, so bits the explorer ignores survive
};

#pragma once

#include "CLibraryLock.h"
#include "settings/CMappedFile.h"

#include <QByteArray>
#include <QList>
#include <QMap>
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

// Edits a library's "Filearea.dat" and group files the way the explorer expects them to be kept.
// Open takes the library's lock (one set-up run at a time) and the table's exclusive lock (no
// explorer running), then reads the table and every group file. Changes are made in memory; Save
// puts them all in place together (CStagedFiles), the group files first and the table last, so that
// at every instant a group lists at worst an id the table lacks, which readers skip. The locks are
// held until the editor is destroyed.
class CLibraryEditor
{
public:
    // Far above any real library (a few hundred areas at most): a larger file is damaged, and
    // reading it whole would take memory out of all proportion.
    static constexpr quint32 kMaxTableRecords = 65536; // the header and 65535 areas
    static constexpr quint32 kMaxGroupIds = 65536;

    explicit CLibraryEditor(const QString& databaseDirectory);

    static QString TableName(const QString& databaseDirectory);

    // Creates the directory and a table holding only its header record, when there is none yet.
    static bool Create(const QString& databaseDirectory, QString* error);

    // Locks and reads the library. Fails when the table is missing, damaged or in use, or a group
    // file cannot be read: then nothing can be changed.
    bool Open(QString* error);
    // Reads the group files alone, without locking; enough to list them.
    bool ReadGroups(QString* error);

    QList<AreaDefinition> Areas() const;
    bool FindArea(quint32 id, AreaDefinition* area) const;
    // Checks the fields, creates the area's directory when missing, gives a new area an id that no
    // area and no group has ever held.
    bool AddArea(AreaDefinition& area, QString* error);
    bool ChangeArea(const AreaDefinition& area, QString* error);
    // Removes the area from the table and its id from every group.
    bool RemoveArea(quint32 id, QString* error);

    QStringList GroupNames() const;
    // The group's area ids in order; none for a group that does not exist.
    QList<quint32> GroupAreas(const QString& name) const;
    bool SetGroup(const QString& name, const QList<quint32>& ids, QString* error);
    bool RemoveGroup(const QString& name, QString* error);

    // Puts every change since Open (or the last Save) in place, all or none of them.
    bool Save(QString* error);

    static bool CheckGroupName(const QString& name, QString* error);
    // A database directory must fit the 259-byte path that every reader of it allows.
    static bool CheckDirectory(const QString& databaseDirectory, QString* error);
    // A path that was not valid UTF-8 (in an argument or the current directory) comes with
    // replacement characters: the directory made for it would not be the one recorded.
    static bool CheckPathText(const QString& path, QString* error);

private:
    bool CheckArea(AreaDefinition& area, bool isNew, QString* error) const;
    bool GiveNewId(AreaDefinition& area, QString* error) const;
    QString GroupFileName(const QString& name) const;
    bool LockTable(QString* error);
    bool ReadTable(QString* error);
    quint32 HighestIdGiven() const;

    QString m_directory;
    CLibraryLock m_lock;
    CMappedFile m_table;
    bool m_tableChanged = false;
    bool m_tableReplaced = false; // saved since locked: the lock is on the old file
    QByteArray m_header;
    QList<QByteArray> m_records; // raw 868-byte area records, so bits the explorer ignores survive
    // Group file name (with ".group") -> ids: as changed, and as on disk.
    QMap<QString, QList<quint32>> m_groups;
    QMap<QString, QList<quint32>> m_savedGroups;
};

#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>

class CFileRecord;

// The file list's model, shared by every view mode. It holds either folder entries (the child
// nodes of the root or of a group, by registry handle) or file entries, which are only a count:
// the text of file entry i is read when it is painted, from position i + 1 of the frame's cursor.
class CFileListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        kName,
        kSize,
        kType,
        kFileDate,
        kLastDownload,
        kDescription,
        kColumnCount
    };
    // The registry handle of a folder entry's node.
    static constexpr int kHandleRole = Qt::UserRole + 1;

    explicit CFileListModel(QObject* parent = nullptr);

    void Clear();
    // Folder entries, in the order given; typed "File Group" under the root, "File Area" otherwise.
    void SetFolders(const QList<quint32>& handles, bool underRoot);
    // count file entries over the cursor, which must outlive them (Clear before deleting it).
    void SetFiles(CFileRecord* cursor, int count);
    // More file entries at the end, for keys the cursor has just been given.
    void AppendFiles(int count);

    bool HasFiles() const { return m_cursor != nullptr; }
    // The file entry's texts are read again from the database and the views redraw it: its file
    // has just been changed.
    void RedisplayRow(int row);
    // Rows first to last are about to be painted: their files are read now, together (on a server
    // in one round trip), rather than as each cell asks.
    void ReadAhead(int first, int last);
    quint32 GetFolderHandle(int row) const { return m_folders.value(row); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Type-ahead in the views asks for every row's text until one matches: for files that would read
    // the whole area from the database, so files are not searched that way.
    QModelIndexList match(const QModelIndex& start, int role, const QVariant& value, int hits = 1,
                          Qt::MatchFlags flags = Qt::MatchFlags(Qt::MatchStartsWith |
                                                                Qt::MatchWrap)) const override;

signals:
    // A painted file entry lay past the end of the cursor: the database delivered fewer files
    // than it counted.
    void EndOfData() const;
    // Reading a painted file entry failed; the text is the database's.
    void ReadFailed(const QString& error) const;

private:
    QVariant FolderData(const QModelIndex& index, int role) const;
    QVariant FileData(const QModelIndex& index, int role) const;

    QList<quint32> m_folders;
    bool m_underRoot = false;
    CFileRecord* m_cursor = nullptr;
    int m_fileCount = 0;
    mutable bool m_rereadRow = false; // the next cell asked for reads its row even if it stands there
    QIcon m_folderIcon;
    QIcon m_fileIcon;
};

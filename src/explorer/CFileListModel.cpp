#include "explorer/CFileListModel.h"

#include "controls/CTreeItemRegistry.h"
#include "database/CDBException.h"
#include "database/CFileRecord.h"
#include "explorer/ListFormatting.h"
#include "resources/ExplorerIcons.h"

CFileListModel::CFileListModel(QObject* parent)
    : QAbstractTableModel(parent), m_folderIcon(LoadExplorerIcon(ExplorerIcon::ClosedFolder)),
      m_fileIcon(LoadExplorerIcon(ExplorerIcon::File))
{
}

void CFileListModel::Clear()
{
    beginResetModel();
    m_folders.clear();
    m_cursor = nullptr;
    m_fileCount = 0;
    endResetModel();
}

void CFileListModel::SetFolders(const QList<quint32>& handles, bool underRoot)
{
    beginResetModel();
    m_cursor = nullptr;
    m_fileCount = 0;
    m_folders = handles;
    m_underRoot = underRoot;
    endResetModel();
}

void CFileListModel::SetFiles(CFileRecord* cursor, int count)
{
    beginResetModel();
    m_folders.clear();
    m_cursor = cursor;
    m_fileCount = cursor ? qMax(count, 0) : 0;
    endResetModel();
}

void CFileListModel::AppendFiles(int count)
{
    count = qMin(count, INT_MAX - m_fileCount);
    if (!m_cursor || count <= 0)
        return;
    beginInsertRows(QModelIndex(), m_fileCount, m_fileCount + count - 1);
    m_fileCount += count;
    endInsertRows();
}

int CFileListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_cursor ? m_fileCount : int(m_folders.size());
}

int CFileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

Qt::ItemFlags CFileListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                           : Qt::NoItemFlags;
}

QModelIndexList CFileListModel::match(const QModelIndex& start, int role, const QVariant& value, int hits,
                                      Qt::MatchFlags flags) const
{
    if (m_cursor)
        return {};
    return QAbstractTableModel::match(start, role, value, hits, flags);
}

QVariant CFileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return QVariant();
    switch (section) {
    case kName:
        return tr("Name");
    case kSize:
        return tr("Size");
    case kType:
        return tr("Type");
    case kFileDate:
        return tr("File Date");
    case kLastDownload:
        return tr("Last Download");
    case kDescription:
        return tr("Description");
    default:
        return QVariant();
    }
}

QVariant CFileListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    return m_cursor ? FileData(index, role) : FolderData(index, role);
}

QVariant CFileListModel::FolderData(const QModelIndex& index, int role) const
{
    const quint32 handle = m_folders.value(index.row());
    if (role == kHandleRole)
        return handle;
    if (role == Qt::DecorationRole)
        return index.column() == kName ? QVariant(m_folderIcon) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return QVariant();
    switch (index.column()) {
    case kName: {
        const CTreeItem* item = theTreeItemRegistry.Lookup(handle);
        return item ? item->GetName() : QString();
    }
    case kType:
        return m_underRoot ? tr("File Group") : tr("File Area");
    default:
        return QString();
    }
}

void CFileListModel::RedisplayRow(int row)
{
    if (!m_cursor || row < 0 || row >= m_fileCount)
        return;
    m_rereadRow = true;
    emit dataChanged(index(row, 0), index(row, kColumnCount - 1));
}

void CFileListModel::ReadAhead(int first, int last)
{
    if (!m_cursor || first > last)
        return;
    try {
        m_cursor->ReadAhead(qint64(first) + 1, qint64(last) + 1);
    } catch (const CDBException& e) {
        emit ReadFailed(e.GetErrorText()); // the cells then read their rows one block at a time
    }
}

QVariant CFileListModel::FileData(const QModelIndex& index, int role) const
{
    if (role == Qt::DecorationRole)
        return index.column() == kName ? QVariant(m_fileIcon) : QVariant();
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return QVariant();
    if (index.column() == kType)
        return tr("File");
    try {
        // The cells of one row are asked for one after another: read the row once.
        const qint64 position = qint64(index.row()) + 1;
        if (m_rereadRow) {
            m_rereadRow = false;
            m_cursor->RereadPosition(position); // the row changed: not from a block read before
        } else if (m_cursor->GetAbsolutePosition() != position || m_cursor->IsEOF()) {
            m_cursor->SetAbsolutePosition(position);
        }
        if (m_cursor->IsEOF())
            emit EndOfData();
    } catch (const CDBException& e) {
        emit ReadFailed(e.GetErrorText());
        return QVariant(); // the cell stays blank
    }
    switch (index.column()) {
    case kName:
        return FormatListText(m_cursor->title);
    case kSize:
        return FormatListSize(m_cursor->file_size);
    case kFileDate:
        return FormatListDate(m_cursor->file_date);
    case kLastDownload:
        return FormatListDate(m_cursor->last_download);
    case kDescription:
        return FormatListText(m_cursor->short_desc);
    default:
        return QVariant();
    }
}

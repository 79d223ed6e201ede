#include "settings/CFileAreaTable.h"

#include <QtEndian>

#include <cstring>

quint32 FileAreaRecord::AreaId() const
{
    return qFromLittleEndian<quint32>(areaId);
}

quint32 FileAreaRecord::Flags() const
{
    return qFromLittleEndian<quint32>(flags);
}

void FileAreaRecord::SetAreaId(quint32 id)
{
    qToLittleEndian(id, areaId);
}

void FileAreaRecord::SetFlags(quint32 value)
{
    qToLittleEndian(value, flags);
}

QString FileAreaRecord::DecodeField(const char* field, int width)
{
    return QString::fromUtf8(field, qsizetype(qstrnlen(field, size_t(width))));
}

bool FileAreaRecord::EncodeField(char* field, int width, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.size() >= width || bytes.contains('\0'))
        return false;
    std::memset(field, 0, size_t(width));
    std::memcpy(field, bytes.constData(), size_t(bytes.size()));
    return true;
}

const FileAreaRecord* CFileAreaTable::GetRecord(quint32 index) const
{
    if (!GetData() || index >= GetRecordCount())
        return nullptr;
    return reinterpret_cast<const FileAreaRecord*>(GetData() + size_t(index) * sizeof(FileAreaRecord));
}

void CFileAreaTable::Opened()
{
    m_firstRecordOfId.clear();
    m_firstRecordOfId.reserve(qsizetype(GetRecordCount()));
    // Last to first, so that where an id repeats the first record in file order is the one kept.
    for (quint32 i = GetRecordCount(); i-- > 1;)
        m_firstRecordOfId.insert(GetRecord(i)->AreaId(), i);
}

void CFileAreaTable::Closing()
{
    m_firstRecordOfId.clear();
    m_firstRecordOfId.squeeze();
}

const FileAreaRecord* CFileAreaTable::FindArea(quint32 areaId) const
{
    const auto found = m_firstRecordOfId.constFind(areaId);
    return found == m_firstRecordOfId.cend() ? nullptr : GetRecord(*found);
}

const FileAreaRecord* CFileAreaTable::FindArea(double areaId) const
{
    // Only a whole number within 32 bits can equal a table id.
    if (!(areaId >= 0 && areaId <= 4294967295.0) || areaId != double(quint32(areaId)))
        return nullptr;
    return FindArea(quint32(areaId));
}

QList<quint32> CFileAreaTable::RecordsWithFlag(AreaFlag flag) const
{
    QList<quint32> records;
    for (quint32 record = 1; record < GetRecordCount(); ++record) {
        if (const FileAreaRecord* area = GetRecord(record); area && area->HasFlag(flag))
            records.append(record);
    }
    return records;
}

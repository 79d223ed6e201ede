#include "startup/CFileAreaTable.h"

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

const FileAreaRecord* CFileAreaTable::FindArea(quint32 areaId) const
{
    for (quint32 i = 1; i < GetRecordCount(); ++i) {
        const FileAreaRecord* record = GetRecord(i);
        if (record->AreaId() == areaId)
            return record;
    }
    return nullptr;
}

const FileAreaRecord* CFileAreaTable::FindArea(double areaId) const
{
    // Only a whole number within 32 bits can equal a table id.
    if (!(areaId >= 0 && areaId <= 4294967295.0) || areaId != double(quint32(areaId)))
        return nullptr;
    return FindArea(quint32(areaId));
}

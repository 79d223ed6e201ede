#pragma once

#include "settings/CMappedFile.h"

#include <QHash>
#include <QList>
#include <QString>

// Flag bits of an area record.
enum AreaFlag : quint32
{
    kAreaAllowDownloads = 0x1,
    kAreaAllowUploads = 0x2,
    kAreaHostsLocalFiles = 0x4,
};

// One 868-byte record of "Filearea.dat", little-endian. The text fields are read only within their
// width, so a field that lacks its NUL terminator ends at the field's end, never in the next one.
struct FileAreaRecord
{
    static constexpr int kNameSize = 80;
    static constexpr int kPathSize = 260;

    uchar areaId[4];
    char name[kNameSize];
    char path[kPathSize];
    char ftpAlias[kPathSize];
    char httpAlias[kPathSize];
    uchar flags[4];

    quint32 AreaId() const;
    quint32 Flags() const;
    bool HasFlag(AreaFlag flag) const { return (Flags() & flag) != 0; }
    QString Name() const { return DecodeField(name, kNameSize); }
    QString Path() const { return DecodeField(path, kPathSize); }
    QString FtpAlias() const { return DecodeField(ftpAlias, kPathSize); }
    QString HttpAlias() const { return DecodeField(httpAlias, kPathSize); }

    void SetAreaId(quint32 id);
    void SetFlags(quint32 value);
    // False, leaving the field unchanged, when the text does not fit with its terminator.
    static bool EncodeField(char* field, int width, const QString& text);
    static QString DecodeField(const char* field, int width);
};
static_assert(sizeof(FileAreaRecord) == 868, "area records are 868 bytes on disk");
static_assert(alignof(FileAreaRecord) == 1, "area records are read in place from any offset");

// The area table, read-only while it is open (other programs may not write it then), so the first
// record of each id is indexed once when it opens and found without a search.
class CFileAreaTable : public CMappedFile
{
public:
    CFileAreaTable() : CMappedFile(sizeof(FileAreaRecord), false) {}

    // Record 0 is the set-up program's header; areas are records 1 to count-1. Null when out of range.
    const FileAreaRecord* GetRecord(quint32 index) const;
    // The first area record, in file order, with this id; null when the explorer does not know it.
    const FileAreaRecord* FindArea(quint32 areaId) const;
    // Database ids are doubles; a table id converts to a double exactly.
    const FileAreaRecord* FindArea(double areaId) const;
    // The record numbers of the areas with this flag, in table order.
    QList<quint32> RecordsWithFlag(AreaFlag flag) const;

protected:
    void Opened() override;
    void Closing() override;

private:
    QHash<quint32, quint32> m_firstRecordOfId;
};

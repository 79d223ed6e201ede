#include "CLibraryEditor.h"

#include "adding/PathUtils.h"
#include "startup/CFileAreaTable.h"
#include "startup/CGroupFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <sys/stat.h>

namespace {

constexpr int kRecordSize = int(sizeof(FileAreaRecord));

QByteArray NewHeader()
{
    QByteArray header(kRecordSize, '\0');
    const QByteArray tag = "Troveport file area table";
    header.replace(0, tag.size(), tag);
    return header;
}

const FileAreaRecord* AsRecord(const QByteArray& raw)
{
    return reinterpret_cast<const FileAreaRecord*>(raw.constData());
}

AreaDefinition ToDefinition(const QByteArray& raw)
{
    const FileAreaRecord* r = AsRecord(raw);
    return {r->AreaId(), r->Name(), r->Path(), r->FtpAlias(), r->HttpAlias(), r->Flags()};
}

bool SaveAtomically(const QString& fileName, const QByteArray& data, QString* error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

} // namespace

CLibraryEditor::CLibraryEditor(const QString& databaseDirectory)
    : m_directory(databaseDirectory), m_table(sizeof(FileAreaRecord), true)
{
}

QString CLibraryEditor::TableName(const QString& databaseDirectory)
{
    return MakePath(databaseDirectory, QStringLiteral("Filearea.dat"));
}

bool CLibraryEditor::CheckDirectory(const QString& databaseDirectory, QString* error)
{
    if (databaseDirectory.isEmpty() || databaseDirectory.toUtf8().size() >= kMaxPathBuffer) {
        *error = QStringLiteral("The database directory \"%1\" must be given and shorter than %2 bytes.")
                     .arg(databaseDirectory)
                     .arg(kMaxPathBuffer);
        return false;
    }
    return true;
}

bool CLibraryEditor::Create(const QString& databaseDirectory, QString* error)
{
    if (!CheckDirectory(databaseDirectory, error))
        return false;
    if (!QDir().mkpath(databaseDirectory)) {
        *error = QStringLiteral("Cannot create the directory %1.").arg(databaseDirectory);
        return false;
    }
    const QString table = TableName(databaseDirectory);
    if (QFileInfo(table).size() > 0)
        return true;
    return SaveAtomically(table, NewHeader(), error);
}

bool CLibraryEditor::Lock(QString* error)
{
    if (!CheckDirectory(m_directory, error))
        return false;
    const QString table = TableName(m_directory);
    // The table may be replaced by another set-up run between opening and locking it; a lock on
    // the replaced file protects nothing, so check and try again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (!QFileInfo::exists(table)) {
            *error = QStringLiteral("There is no library in %1: %2 is missing. Create one with "
                                    "\"troveport-setup init %1\".")
                         .arg(m_directory, table);
            return false;
        }
        if (!m_table.Open(table, 0)) {
            *error = QStringLiteral("Cannot lock %1: Troveport Explorer or another troveport-setup is "
                                    "using it. Close it and try again.")
                         .arg(table);
            return false;
        }
        struct stat opened, atPath;
        if (::fstat(m_table.GetHandle(), &opened) == 0 &&
            ::stat(QFile::encodeName(table).constData(), &atPath) == 0 && opened.st_dev == atPath.st_dev &&
            opened.st_ino == atPath.st_ino)
            return true;
        m_table.Close();
    }
    *error = QStringLiteral("Cannot lock %1: it keeps being replaced.").arg(table);
    return false;
}

bool CLibraryEditor::Open(QString* error)
{
    if (!Lock(error))
        return false;
    m_records.clear();
    const quint32 count = m_table.GetRecordCount();
    const char* data = reinterpret_cast<const char*>(m_table.GetData());
    m_header = count > 0 ? QByteArray(data, kRecordSize) : NewHeader();
    for (quint32 i = 1; i < count; ++i)
        m_records.append(QByteArray(data + qsizetype(i) * kRecordSize, kRecordSize));
    return true;
}

QList<AreaDefinition> CLibraryEditor::Areas() const
{
    QList<AreaDefinition> areas;
    for (const QByteArray& raw : m_records)
        areas.append(ToDefinition(raw));
    return areas;
}

bool CLibraryEditor::FindArea(quint32 id, AreaDefinition* area) const
{
    for (const QByteArray& raw : m_records) {
        if (AsRecord(raw)->AreaId() == id) {
            *area = ToDefinition(raw);
            return true;
        }
    }
    return false;
}

bool CLibraryEditor::CheckArea(AreaDefinition& area, bool isNew, QString* error) const
{
    area.name = area.name.trimmed();
    if (area.name.isEmpty()) {
        *error = QStringLiteral("An area needs a name.");
        return false;
    }
    if (area.name.toUtf8().size() >= FileAreaRecord::kNameSize) {
        *error = QStringLiteral("The area name \"%1\" is longer than %2 bytes.")
                     .arg(area.name)
                     .arg(FileAreaRecord::kNameSize - 1);
        return false;
    }
    if (area.path.isEmpty()) {
        *error = QStringLiteral("The area \"%1\" needs a directory.").arg(area.name);
        return false;
    }
    area.path = QDir::cleanPath(QDir(area.path).absolutePath());
    const struct
    {
        const QString* text;
        const char* what;
    } fields[] = {{&area.path, "directory"}, {&area.ftpAlias, "FTP alias"}, {&area.httpAlias, "HTTP alias"}};
    for (const auto& field : fields) {
        if (field.text->toUtf8().size() >= FileAreaRecord::kPathSize || field.text->contains(QChar(0))) {
            *error = QStringLiteral("The %1 of area \"%2\" is longer than %3 bytes.")
                         .arg(QLatin1String(field.what), area.name)
                         .arg(FileAreaRecord::kPathSize - 1);
            return false;
        }
    }
    if (isNew) {
        if (area.id == 0) {
            quint32 highest = 0;
            for (const QByteArray& raw : m_records)
                highest = std::max(highest, AsRecord(raw)->AreaId());
            if (highest == 0xFFFFFFFFu) {
                *error = QStringLiteral("No area id is free above %1; give one with --id.").arg(highest);
                return false;
            }
            area.id = highest + 1;
        }
        AreaDefinition existing;
        if (FindArea(area.id, &existing)) {
            *error = QStringLiteral("Area id %1 is already used by \"%2\".").arg(area.id).arg(existing.name);
            return false;
        }
    }
    if (!QFileInfo(area.path).isDir() && !QDir().mkpath(area.path)) {
        *error = QStringLiteral("Cannot create the directory %1 of area \"%2\".").arg(area.path, area.name);
        return false;
    }
    return true;
}

bool CLibraryEditor::AddArea(AreaDefinition& area, QString* error)
{
    if (!CheckArea(area, true, error))
        return false;
    QByteArray raw(kRecordSize, '\0');
    auto* r = reinterpret_cast<FileAreaRecord*>(raw.data());
    r->SetAreaId(area.id);
    FileAreaRecord::EncodeField(r->name, FileAreaRecord::kNameSize, area.name);
    FileAreaRecord::EncodeField(r->path, FileAreaRecord::kPathSize, area.path);
    FileAreaRecord::EncodeField(r->ftpAlias, FileAreaRecord::kPathSize, area.ftpAlias);
    FileAreaRecord::EncodeField(r->httpAlias, FileAreaRecord::kPathSize, area.httpAlias);
    r->SetFlags(area.flags);
    m_records.append(raw);
    return true;
}

bool CLibraryEditor::ChangeArea(const AreaDefinition& changed, QString* error)
{
    AreaDefinition area = changed;
    if (!CheckArea(area, false, error))
        return false;
    for (QByteArray& raw : m_records) {
        auto* r = reinterpret_cast<FileAreaRecord*>(raw.data());
        if (r->AreaId() != area.id)
            continue;
        FileAreaRecord::EncodeField(r->name, FileAreaRecord::kNameSize, area.name);
        FileAreaRecord::EncodeField(r->path, FileAreaRecord::kPathSize, area.path);
        FileAreaRecord::EncodeField(r->ftpAlias, FileAreaRecord::kPathSize, area.ftpAlias);
        FileAreaRecord::EncodeField(r->httpAlias, FileAreaRecord::kPathSize, area.httpAlias);
        r->SetFlags(area.flags);
        return true;
    }
    *error = QStringLiteral("There is no area with id %1.").arg(area.id);
    return false;
}

bool CLibraryEditor::RemoveArea(quint32 id, QString* error)
{
    const auto removed =
        m_records.removeIf([id](const QByteArray& raw) { return AsRecord(raw)->AreaId() == id; });
    if (removed == 0) {
        *error = QStringLiteral("There is no area with id %1.").arg(id);
        return false;
    }
    return true;
}

bool CLibraryEditor::RemoveFromGroups(quint32 id, QString* error)
{
    for (const QString& group : GroupNames()) {
        QList<quint32> ids;
        if (ReadGroup(group, &ids, error) && ids.removeAll(id) > 0 && !WriteGroup(group, ids, error))
            return false;
    }
    return true;
}

bool CLibraryEditor::Save(QString* error)
{
    QByteArray data = m_header;
    for (const QByteArray& raw : m_records)
        data += raw;
    if (!SaveAtomically(TableName(m_directory), data, error))
        return false;
    // The lock was on the file just replaced; take it again on the new one.
    m_table.Close();
    if (!Lock(error)) {
        *error = QStringLiteral("The table was saved, but: ") + *error;
        return false;
    }
    return true;
}

QString CLibraryEditor::GroupFileName(const QString& name) const
{
    return MakePath(m_directory, name, QStringLiteral("group"));
}

bool CLibraryEditor::CheckGroupName(const QString& name, QString* error)
{
    if (name.trimmed().isEmpty() || name.startsWith(QLatin1Char('.')) || name.contains(QLatin1Char('/')) ||
        name.contains(QChar(0)) || (name + QStringLiteral(".group")).toUtf8().size() > 255) {
        *error = QStringLiteral("\"%1\" cannot be a group name: it must not be empty, begin with a dot, hold "
                                "a \"/\" or be longer than 249 bytes.")
                     .arg(name);
        return false;
    }
    return true;
}

QStringList CLibraryEditor::GroupNames() const
{
    QStringList names;
    const QStringList files =
        QDir(m_directory)
            .entryList({QStringLiteral("*.group")}, QDir::Files | QDir::CaseSensitive, QDir::Name);
    for (const QString& file : files)
        names.append(CGroupFile::GroupNameFromFileName(file));
    return names;
}

bool CLibraryEditor::ReadGroup(const QString& name, QList<quint32>* ids, QString* error) const
{
    if (!CheckGroupName(name, error))
        return false;
    const QString fileName = GroupFileName(name);
    if (!QFileInfo(fileName).isFile()) {
        *error = QStringLiteral("There is no group \"%1\".").arg(name);
        return false;
    }
    CGroupFile group;
    if (!group.Open(fileName, 0)) {
        *error = QStringLiteral("Cannot read %1.").arg(fileName);
        return false;
    }
    ids->clear();
    for (quint32 i = 0; i < group.GetRecordCount(); ++i)
        ids->append(group.GetAreaId(i));
    return true;
}

bool CLibraryEditor::WriteGroup(const QString& name, const QList<quint32>& ids, QString* error)
{
    if (!CheckGroupName(name, error))
        return false;
    QByteArray data(ids.size() * 4, '\0');
    for (qsizetype i = 0; i < ids.size(); ++i)
        qToLittleEndian(ids[i], data.data() + i * 4);
    return SaveAtomically(GroupFileName(name), data, error);
}

bool CLibraryEditor::RemoveGroup(const QString& name, QString* error)
{
    if (!CheckGroupName(name, error))
        return false;
    if (!QFile::remove(GroupFileName(name))) {
        *error = QStringLiteral("There is no group \"%1\".").arg(name);
        return false;
    }
    return true;
}

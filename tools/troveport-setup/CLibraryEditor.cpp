#include "CLibraryEditor.h"

#include "CStagedFiles.h"
#include "files/PathUtils.h"
#include "files/SafeFormat.h"
#include "settings/CFileAreaTable.h"
#include "settings/CGroupFile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QtEndian>
#include <QThread>

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace {

constexpr int kRecordSize = int(sizeof(FileAreaRecord));

// troveport-setup's own header record: a tag, then the highest area id ever given, so that an id
// stays retired after its area is removed (the file database may still link files to it). A
// header written by another program is kept byte for byte, without the mark.
constexpr char kHeaderTag[] = "Troveport file area table";
constexpr int kHighestIdOffset = 32;
static_assert(sizeof kHeaderTag <= kHighestIdOffset);

QByteArray NewHeader()
{
    QByteArray header(kRecordSize, '\0');
    header.replace(0, int(sizeof kHeaderTag), QByteArray(kHeaderTag, sizeof kHeaderTag));
    return header;
}

bool IsOwnHeader(const QByteArray& header)
{
    return header.startsWith(QByteArrayView(kHeaderTag, sizeof kHeaderTag)); // the NUL included
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

void EncodeRecord(FileAreaRecord* r, const AreaDefinition& area)
{
    FileAreaRecord::EncodeField(r->name, FileAreaRecord::kNameSize, area.name);
    FileAreaRecord::EncodeField(r->path, FileAreaRecord::kPathSize, area.path);
    FileAreaRecord::EncodeField(r->ftpAlias, FileAreaRecord::kPathSize, area.ftpAlias);
    FileAreaRecord::EncodeField(r->httpAlias, FileAreaRecord::kPathSize, area.httpAlias);
    r->SetFlags(area.flags);
}

// What is wrong with a stored area record, or nothing: the explorer relies on these.
QString RecordFault(const FileAreaRecord* r)
{
    if (r->AreaId() == 0)
        return QStringLiteral("has area id 0");
    const struct
    {
        const char* field;
        int width;
        const char* what;
    } fields[] = {{r->name, FileAreaRecord::kNameSize, "a name"},
                  {r->path, FileAreaRecord::kPathSize, "a directory"},
                  {r->ftpAlias, FileAreaRecord::kPathSize, "an FTP alias"},
                  {r->httpAlias, FileAreaRecord::kPathSize, "an HTTP alias"}};
    for (const auto& f : fields) {
        if (!std::memchr(f.field, 0, size_t(f.width)))
            return SafeFormat(u"has %s without its terminating NUL (all its %s bytes are text)",
                              QLatin1String(f.what), f.width);
    }
    return QString();
}

QStringList GroupFileNames(const QString& directory)
{
    // As the explorer finds them: hidden ones too, and only with the exact extension.
    return QDir(directory).entryList({QStringLiteral("*.group")},
                                     QDir::Files | QDir::Hidden | QDir::CaseSensitive, QDir::Name);
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

bool CLibraryEditor::CheckPathText(const QString& path, QString* error)
{
    if (!path.contains(QChar::ReplacementCharacter))
        return true;
    *error = QStringLiteral("The path \"%1\" is not valid UTF-8 text (%2 stands for the bytes that are not). "
                            "Troveport keeps paths as UTF-8, so it would record another directory than the "
                            "one meant; rename the directory to UTF-8 first.")
                 .arg(path, QString(QChar::ReplacementCharacter));
    return false;
}

bool CLibraryEditor::CheckDirectory(const QString& databaseDirectory, QString* error)
{
    if (databaseDirectory.isEmpty() || databaseDirectory.toUtf8().size() >= kMaxPathBuffer) {
        *error = SafeFormat(u"The database directory \"%s\" must be given and shorter than %s bytes.",
                            databaseDirectory, kMaxPathBuffer);
        return false;
    }
    return CheckPathText(databaseDirectory, error);
}

bool CLibraryEditor::Create(const QString& databaseDirectory, QString* error)
{
    if (!CheckDirectory(databaseDirectory, error))
        return false;
    if (!QDir().mkpath(databaseDirectory)) {
        *error = QStringLiteral("Cannot create the directory %1.").arg(databaseDirectory);
        return false;
    }
    CLibraryLock lock;
    if (!lock.Acquire(databaseDirectory, error))
        return false;
    const QString table = TableName(databaseDirectory);
    if (QFileInfo(table).size() > 0)
        return true;
    CStagedFiles files;
    files.Write(table, NewHeader());
    return files.Commit(error);
}

bool CLibraryEditor::LockTable(QString* error)
{
    const QString table = TableName(m_directory);
    m_table.Close();
    // A reader such as "area list" holds the table for a moment; the explorer holds it all along.
    const QDeadlineTimer patience(500);
    for (;;) {
        if (!QFileInfo::exists(table)) {
            *error = QStringLiteral("There is no library in %1: %2 is missing. Create one with "
                                    "\"troveport-setup init %1\".")
                         .arg(m_directory, table);
            return false;
        }
        if (m_table.Open(table, 0)) {
            // Another program may have replaced the table between opening and locking it; a lock
            // on the replaced file protects nothing.
            struct stat opened, atPath;
            if (::fstat(m_table.GetHandle(), &opened) == 0 &&
                ::stat(QFile::encodeName(table).constData(), &atPath) == 0 &&
                opened.st_dev == atPath.st_dev && opened.st_ino == atPath.st_ino) {
                m_tableReplaced = false;
                return true;
            }
            m_table.Close();
        }
        if (patience.hasExpired()) {
            *error = QStringLiteral("Cannot lock %1: Troveport Explorer or another program is using it. "
                                    "Close it and try again.")
                         .arg(table);
            return false;
        }
        QThread::msleep(20);
    }
}

bool CLibraryEditor::ReadTable(QString* error)
{
    const QString table = TableName(m_directory);
    const quint32 count = m_table.GetRecordCount();
    if (count > kMaxTableRecords) {
        *error = SafeFormat(u"%s is damaged: it holds %s records, more than the %s a table may hold. "
                            u"Nothing was changed.",
                            table, count, kMaxTableRecords);
        return false;
    }
    const char* data = reinterpret_cast<const char*>(m_table.GetData());
    QList<QByteArray> records;
    records.reserve(count);
    QHash<quint32, quint32> recordOfId;
    for (quint32 i = 1; i < count; ++i) {
        QByteArray raw(data + qsizetype(i) * kRecordSize, kRecordSize);
        QString fault = RecordFault(AsRecord(raw));
        const quint32 id = AsRecord(raw)->AreaId();
        if (fault.isEmpty() && recordOfId.contains(id))
            fault = SafeFormat(u"has area id %s, as record %s has", id, recordOfId.value(id));
        if (!fault.isEmpty()) {
            *error = SafeFormat(u"%s is damaged: its record %s %s. Nothing was changed.", table, i, fault);
            return false;
        }
        recordOfId.insert(id, i);
        records.append(raw);
    }
    m_header = count > 0 ? QByteArray(data, kRecordSize) : NewHeader();
    m_records = records;
    m_tableChanged = false;
    return true;
}

bool CLibraryEditor::ReadGroups(QString* error)
{
    m_groups.clear();
    for (const QString& fileName : GroupFileNames(m_directory)) {
        const QString path = MakePath(m_directory, fileName);
        CGroupFile group;
        if (!group.Open(path, 0)) {
            *error =
                QStringLiteral("Cannot read the group file %1; troveport-setup needs every group to keep "
                               "area ids apart. Make it readable or remove it. Nothing was changed.")
                    .arg(path);
            return false;
        }
        if (group.GetRecordCount() > kMaxGroupIds) {
            *error = SafeFormat(u"%s is damaged: it lists %s area ids, more than the %s a group may list. "
                                u"Nothing was changed.",
                                path, group.GetRecordCount(), kMaxGroupIds);
            return false;
        }
        QList<quint32>& ids = m_groups[fileName];
        for (quint32 i = 0; i < group.GetRecordCount(); ++i)
            ids.append(group.GetAreaId(i));
    }
    m_savedGroups = m_groups;
    return true;
}

bool CLibraryEditor::Open(QString* error)
{
    if (!CheckDirectory(m_directory, error) || !m_lock.Acquire(m_directory, error))
        return false;
    // Read only now, under the lock, so that a run that waited sees what the run before it did.
    if (!LockTable(error) || !ReadTable(error) || !ReadGroups(error)) {
        m_table.Close();
        m_lock.Release();
        return false;
    }
    CStagedFiles::RemoveLeftovers(m_directory);
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

quint32 CLibraryEditor::HighestIdGiven() const
{
    quint32 highest =
        IsOwnHeader(m_header) ? qFromLittleEndian<quint32>(m_header.constData() + kHighestIdOffset) : 0;
    for (const QByteArray& raw : m_records)
        highest = std::max(highest, AsRecord(raw)->AreaId());
    for (const QList<quint32>& ids : m_groups) {
        for (quint32 id : ids)
            highest = std::max(highest, id);
    }
    return highest;
}

bool CLibraryEditor::GiveNewId(AreaDefinition& area, QString* error) const
{
    if (area.id == 0) {
        // Above every id in use and every id a group still lists: a group file that kept the id of
        // a removed area would otherwise take in the new one.
        const quint32 highest = HighestIdGiven();
        if (highest == 0xFFFFFFFFu) {
            *error = QStringLiteral("No area id is free above %1; give one with --id.").arg(highest);
            return false;
        }
        area.id = highest + 1;
    }
    AreaDefinition existing;
    if (FindArea(area.id, &existing)) {
        *error = SafeFormat(u"Area id %s is already used by \"%s\".", area.id, existing.name);
        return false;
    }
    for (auto it = m_groups.cbegin(); it != m_groups.cend(); ++it) {
        if (it.value().contains(area.id)) {
            *error = SafeFormat(u"Area id %u is still listed in the group \"%s\", which would show the new "
                                u"area. Give another id, or take %u out of the group first.",
                                area.id, CGroupFile::GroupNameFromFileName(it.key()), area.id);
            return false;
        }
    }
    return true;
}

bool CLibraryEditor::CheckArea(AreaDefinition& area, bool isNew, QString* error) const
{
    area.name = area.name.trimmed();
    if (area.name.isEmpty()) {
        *error = QStringLiteral("An area needs a name.");
        return false;
    }
    if (area.name.toUtf8().size() >= FileAreaRecord::kNameSize) {
        *error = SafeFormat(u"The area name \"%s\" is longer than %s bytes.", area.name,
                            FileAreaRecord::kNameSize - 1);
        return false;
    }
    if (area.path.isEmpty()) {
        *error = QStringLiteral("The area \"%1\" needs a directory.").arg(area.name);
        return false;
    }
    area.path = QDir::cleanPath(QDir(area.path).absolutePath());
    if (!CheckPathText(area.path, error))
        return false;
    const struct
    {
        const QString* text;
        const char* what;
    } fields[] = {{&area.path, "directory"}, {&area.ftpAlias, "FTP alias"}, {&area.httpAlias, "HTTP alias"}};
    for (const auto& field : fields) {
        if (field.text->toUtf8().size() >= FileAreaRecord::kPathSize || field.text->contains(QChar(0))) {
            *error = SafeFormat(u"The %s of area \"%s\" is longer than %s bytes.", QLatin1String(field.what),
                                area.name, FileAreaRecord::kPathSize - 1);
            return false;
        }
    }
    if (isNew && !GiveNewId(area, error))
        return false;
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
    EncodeRecord(r, area);
    m_records.append(raw);
    if (IsOwnHeader(m_header) &&
        area.id > qFromLittleEndian<quint32>(m_header.constData() + kHighestIdOffset))
        qToLittleEndian(area.id, m_header.data() + kHighestIdOffset);
    m_tableChanged = true;
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
        EncodeRecord(r, area);
        m_tableChanged = true;
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
    m_tableChanged = true;
    for (QList<quint32>& ids : m_groups)
        ids.removeAll(id);
    return true;
}

bool CLibraryEditor::Save(QString* error)
{
    if (!m_lock.IsHeld()) {
        *error = QStringLiteral("The library is not open.");
        return false;
    }
    // An earlier save replaced the table under the lock it had; keep the explorer out of this one.
    if (m_tableReplaced && !LockTable(error))
        return false;
    CStagedFiles files;
    for (auto it = m_savedGroups.cbegin(); it != m_savedGroups.cend(); ++it) {
        if (!m_groups.contains(it.key()))
            files.Remove(MakePath(m_directory, it.key()));
    }
    for (auto it = m_groups.cbegin(); it != m_groups.cend(); ++it) {
        const auto saved = m_savedGroups.constFind(it.key());
        if (saved != m_savedGroups.cend() && saved.value() == it.value())
            continue;
        QByteArray data(it.value().size() * 4, '\0');
        for (qsizetype i = 0; i < it.value().size(); ++i)
            qToLittleEndian(it.value()[i], data.data() + i * 4);
        files.Write(MakePath(m_directory, it.key()), data);
    }
    // The table goes last: until it is in place, a group lists at most ids the table lacks.
    if (m_tableChanged) {
        QByteArray data = m_header;
        data.reserve(kRecordSize * (m_records.size() + 1));
        for (const QByteArray& raw : m_records)
            data += raw;
        files.Write(TableName(m_directory), data);
    }
    if (!files.Commit(error))
        return false;
    m_savedGroups = m_groups;
    m_tableReplaced = m_tableReplaced || m_tableChanged;
    m_tableChanged = false;
    return true;
}

QString CLibraryEditor::GroupFileName(const QString& name) const
{
    return name + QStringLiteral(".group");
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
    for (auto it = m_groups.cbegin(); it != m_groups.cend(); ++it)
        names.append(CGroupFile::GroupNameFromFileName(it.key()));
    return names;
}

QList<quint32> CLibraryEditor::GroupAreas(const QString& name) const
{
    return m_groups.value(GroupFileName(name));
}

bool CLibraryEditor::SetGroup(const QString& name, const QList<quint32>& ids, QString* error)
{
    if (!CheckGroupName(name, error))
        return false;
    m_groups.insert(GroupFileName(name), ids);
    return true;
}

bool CLibraryEditor::RemoveGroup(const QString& name, QString* error)
{
    if (!CheckGroupName(name, error))
        return false;
    if (m_groups.remove(GroupFileName(name)) == 0) {
        *error = QStringLiteral("There is no group \"%1\".").arg(name);
        return false;
    }
    return true;
}

#include "reviews/PostedSubmissions.h"

#include "files/PathUtils.h"
#include "reviews/SiteRecordFile.h"
#include "settings/Globals.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QMap>

namespace {

const QByteArray kNotesName = "posted-reviews.txt";

QString DatabaseDirectory()
{
    return g_strDatabasePath.isEmpty() ? QStringLiteral(".") : g_strDatabasePath;
}

// A submission's content: every field, each after its length, so that two different submissions
// never give the same bytes to digest.
QByteArray Key(const CSubmission& submission)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const auto add = [&hash](const QString& field) {
        hash.addData(QByteArray::number(field.size()) + ':');
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(field.utf16()),
                                    field.size() * qsizetype(sizeof(char16_t))));
    };
    for (const QString& field : {QString::number(submission.file_id), submission.file_name, submission.name,
                                 submission.email, QString::number(submission.anonymous), submission.date,
                                 submission.text})
        add(field);
    return hash.result().toHex();
}

// The notes file, locked and read while this lives: how many posted submissions there are of
// each content.
class CNotes
{
public:
    CNotes() : m_file(DatabaseDirectory(), kNotesName) {}

    bool Read(QString* problem)
    {
        if (!m_file.Lock() || !m_file.ReadWhole())
            return m_file.Failed(problem);
        // Lines that are not "<digest> <count>" are dropped.
        for (const QByteArray& line : m_file.Data().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            bool ok = false;
            const int count = parts.size() == 2 ? parts[1].toInt(&ok) : 0;
            if (ok && count > 0 && parts[0].size() == 64)
                m_counts[parts[0]] = count;
        }
        return true;
    }

    QMap<QByteArray, int>& Counts() { return m_counts; }

    // No notes at all delete the file.
    bool Write(QString* problem)
    {
        QByteArray data;
        for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it)
            data += it.key() + ' ' + QByteArray::number(it.value()) + '\n';
        return m_file.Replace(data) || m_file.Failed(problem);
    }

private:
    CSiteRecordFile m_file;
    QMap<QByteArray, int> m_counts; // ordered, so that the file is written the same way each time
};

} // namespace

QString PostedNotesFilePath()
{
    return MakePath(DatabaseDirectory(), QFile::decodeName(kNotesName));
}

bool NotePosted(const QList<CSubmission>& posted, QString* problem)
{
    if (posted.isEmpty())
        return true;
    CNotes notes;
    if (!notes.Read(problem))
        return false;
    for (const CSubmission& submission : posted)
        ++notes.Counts()[Key(submission)];
    return notes.Write(problem);
}

bool DropPostedNotes(const QList<CSubmission>& removed, QString* problem)
{
    if (removed.isEmpty())
        return true;
    CNotes notes;
    if (!notes.Read(problem))
        return false;
    bool changed = false;
    for (const CSubmission& submission : removed) {
        const auto note = notes.Counts().find(Key(submission));
        if (note == notes.Counts().end())
            continue;
        changed = true;
        if (--*note == 0)
            notes.Counts().erase(note);
    }
    return !changed || notes.Write(problem);
}

bool TakeNotedPosts(QList<CSubmission>& submissions, QList<CSubmission>* posted, QString* problem)
{
    posted->clear();
    CNotes notes;
    if (!notes.Read(problem))
        return false;
    QMap<QByteArray, int>& counts = notes.Counts();
    if (counts.isEmpty())
        return true;
    QHash<QByteArray, int> held; // how many of each the file holds
    QList<CSubmission> offered;
    for (const CSubmission& submission : std::as_const(submissions)) {
        const QByteArray key = Key(submission);
        (++held[key] <= counts.value(key) ? *posted : offered).append(submission);
    }
    submissions = offered;

    bool changed = false;
    for (auto note = counts.begin(); note != counts.end();) {
        const int count = held.value(note.key());
        if (count >= *note) {
            ++note;
            continue;
        }
        changed = true;
        if (count == 0) {
            note = counts.erase(note);
        } else {
            *note = count;
            ++note;
        }
    }
    // Notes that could not be dropped only wait for a later scan: meanwhile they would take a
    // submission equal to a posted one, which the site added since, for that one.
    if (changed)
        notes.Write(nullptr);
    return true;
}

#pragma once

// What the fake virus checker (helpers/fake_viruscheck.cpp) really read, from the file that
// $FAKE_VIRUSCHECK_READ names: one line per run, "<device>:<inode> <first line>" or "-". And
// checker scripts of the tests' own, one for each way a checker can end.

#include "settings/Globals.h"
#include "settings/Registry.h"
#include "TestSupport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace CheckerSupport {

// "<device>:<inode>" of the file at the path's bytes (not following a final link), as the checker
// notes it.
inline QByteArray FileIdentity(const QByteArray& nativePath)
{
    struct stat st;
    if (::lstat(nativePath.constData(), &st) != 0)
        return QByteArray("none");
    return QByteArray::number(quint64(st.st_dev)) + ':' + QByteArray::number(quint64(st.st_ino));
}

inline QByteArray FileIdentity(const QString& path)
{
    return FileIdentity(QFile::encodeName(path));
}

// The identities of the files the checker read, one per run, "-" for a run that read nothing.
inline QList<QByteArray> ReadIdentities(const QString& readLog)
{
    QList<QByteArray> identities;
    QFile file(readLog);
    if (!file.open(QIODevice::ReadOnly))
        return identities;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const qsizetype space = line.indexOf(' ');
        if (!line.isEmpty())
            identities.append(space < 0 ? line : line.left(space));
    }
    return identities;
}

// Writes an executable shell script that runs body.
inline bool WriteCheckerScript(const QString& path, const QByteArray& body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write("#!/bin/sh\n" + body + "\n") < 0)
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// What a check is expected to conclude.
enum class Expect
{
    Clean,
    Infected,
    NotChecked,
};

// A checker that ends one way, run with VirusExitCode 1 and VirusTimeout 1.
struct ScriptCase
{
    const char* name;
    QByteArray body; // empty: the checker is a program that does not exist
    Expect expect;
    QString reasonPart; // for NotChecked: what the reason must say
};

inline QList<ScriptCase> ScriptCases()
{
    return {
        {"clean", "exit 0", Expect::Clean, QString()},
        {"infected", "exit 1", Expect::Infected, QString()},
        // clamscan's status for an error, such as a missing signature database
        {"error status", "exit 2", Expect::NotChecked, QStringLiteral("exit code 2")},
        {"missing program", QByteArray(), Expect::NotChecked, QStringLiteral("could not be started")},
        {"killed by a signal", "kill -KILL $$", Expect::NotChecked, QStringLiteral("signal 9")},
        {"runs too long", "sleep 20", Expect::NotChecked, QStringLiteral("VirusTimeout")},
    };
}

// A data function's rows, one for each of ScriptCases() (or each of those named in only):
// column "index".
inline void AddScriptCaseRows(const QByteArrayList& only = {})
{
    QTest::addColumn<int>("index");
    const QList<ScriptCase> cases = ScriptCases();
    for (int i = 0; i < cases.size(); ++i)
        if (only.isEmpty() || only.contains(cases[i].name))
            QTest::newRow(cases[i].name) << i;
}

// Puts a checker at path: a script of that body, or nothing (a program that does not exist) for an
// empty one.
inline bool PlaceChecker(const QString& path, const QByteArray& body)
{
    QFile::remove(path);
    return body.isEmpty() || WriteCheckerScript(path, body);
}

// Upload areas in a directory of the test's own, with settings files there and a checker that notes
// what it read: "areas/up" is area 3 (it accepts uploads); more area records may follow it.
class CUploadAreas
{
public:
    QTemporaryDir m_dir;

    QString Path(const QString& relative) const { return m_dir.filePath(relative); }
    QString Up(const QString& name) const { return Path(u"areas/up/"_s + name); }
    // The files the checker read, as FileIdentity gives them.
    QList<QByteArray> Checked() const { return ReadIdentities(Path(u"checker-read.log"_s)); }

    // For initTestCase.
    void OpenUploadAreas(const QByteArray& moreAreas = {})
    {
        QVERIFY(m_dir.isValid());
        TestSupport::UseSettingsFilesIn(m_dir.path());
        qputenv("FAKE_VIRUSCHECK_READ", QFile::encodeName(Path(u"checker-read.log"_s)));
        QCOMPARE(RegWriteDword(u"VirusExitCode"_s, 1, g_pszRegKey), kRegSuccess);
        QVERIFY(QDir().mkpath(Up(QString())) && QDir().mkpath(Path(u"outside"_s)));
        TestSupport::WriteFile(
            Path(u"Filearea.dat"_s),
            TestSupport::HeaderRecord() +
                TestSupport::AreaRecord(3, "Uploads", QFile::encodeName(Up(QString())), 3) + moreAreas);
        QVERIFY(theFileAreaTable.Open(Path(u"Filearea.dat"_s)));
    }

    // For init: these directories empty, the checker's notes gone, this checker (none when empty).
    void ResetUploadAreas(const QStringList& dirs, const QString& checker)
    {
        for (const QString& dir : dirs) {
            QDir(Path(dir)).removeRecursively();
            QVERIFY(QDir().mkpath(Path(dir)));
        }
        QFile::remove(Path(u"checker-read.log"_s));
        UseChecker(checker);
    }

    static void UseChecker(const QString& program)
    {
        QCOMPARE(RegWriteString(u"VirusChecker"_s, program, g_pszRegKey), kRegSuccess);
    }
};

} // namespace CheckerSupport

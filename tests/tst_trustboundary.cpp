// The code that works in directories the web site can write reaches files only through the
// descriptor-relative file layer (src/files): no call there may name a file by its path, where a
// link or an exchanged directory could lead it elsewhere. docs/security.md lists the rules.

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Calls that take a path: each would follow a link the site planted, or act on a name the site
// can swap between a check and the use.
const char* const kPathCalls[] = {
    R"((?<![\w.>:])(?:std::|::)?(?:open|open64|creat|fopen|unlink|remove|rename|stat|lstat|access|mkdir|rmdir|opendir|truncate|chmod|chown|link|symlink|realpath|mkfifo)\s*\()",
    R"(\bQFile\s*::\s*(?:remove|rename|exists|copy|link|setPermissions|permissions|resize)\b)",
    R"(\bQFile\s+\w+\s*\()",
    R"(\bQSaveFile\b)",
    R"(\bQFileInfo\b)",
    R"(\bQDir\s*\()",
    R"(\bQDirIterator\b)",
    R"(\bzip_open\s*\()",
    R"(\bReadTextFile\s*\()",
    R"(\bReadSiteTextFile\s*\()",
    R"(\bReadSiteTextLines\s*\()",
    R"(\bOpenRegularFile\s*\()",
    R"(\bCopyFileIntoDirectory\s*\()",
    R"(\bFileExists\s*\()",
    R"(\bIsDirectory\s*\()",
    R"(\bGetFileSizeByName\s*\()",
};

// Where the program acts in the site's directories: every source of the review and upload
// folders, and the deletion and virus check of the areas' local copies.
const char* const kGuardedFolders[] = {"reviews", "uploads"};
const char* const kGuardedSources[] = {
    "properties/FileRemoval.cpp",
    "viruscheck/VirusChecker.cpp",
};

QString StripComments(const QString& source)
{
    static const QRegularExpression comments(uR"(//[^\n]*|/\*.*?\*/)"_s, QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression strings(uR"("(?:[^"\\\n]|\\.)*")"_s);
    QString code = source;
    code.replace(comments, QString());
    code.replace(strings, u"\"\""_s);
    return code;
}

} // namespace

class tst_TrustBoundary : public QObject
{
    Q_OBJECT

private slots:
    void noPathCallsInTheSiteDirectories_data()
    {
        QTest::addColumn<QString>("source");
        QStringList sources;
        for (const char* folder : kGuardedFolders) {
            const QDir dir(QStringLiteral(TROVEPORT_SOURCE_DIR "/src/") + QLatin1String(folder));
            for (const QString& name : dir.entryList({u"*.cpp"_s}, QDir::Files, QDir::Name))
                sources.append(QLatin1String(folder) + u'/' + name);
        }
        QVERIFY(sources.size() > 10);
        for (const char* source : kGuardedSources)
            sources.append(QString::fromLatin1(source));
        for (const QString& source : std::as_const(sources))
            QTest::newRow(qPrintable(source)) << source;
    }
    void noPathCallsInTheSiteDirectories()
    {
        QFETCH(QString, source);
        QFile file(QStringLiteral(TROVEPORT_SOURCE_DIR "/src/") + source);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
        const QString code = StripComments(QString::fromUtf8(file.readAll()));
        QStringList found;
        for (const char* pattern : kPathCalls) {
            const QRegularExpression call(QString::fromLatin1(pattern));
            for (auto it = call.globalMatch(code); it.hasNext();) {
                const auto match = it.next();
                const int line = int(code.left(match.capturedStart()).count(u'\n')) + 1;
                found.append(u"%1:%2: %3"_s.arg(source).arg(line).arg(match.captured().trimmed()));
            }
        }
        qInfo().noquote() << "checked" << source << "for" << std::size(kPathCalls) << "kinds of path call";
        QVERIFY2(found.isEmpty(), qPrintable(found.join(u'\n')));
    }

    // The checker itself finds what it must: a planted path call is reported.
    void theCheckFindsPathCalls()
    {
        const QString planted = u"void f() {\n  // ::unlink(\"comment\") is fine\n  ::unlink(p);\n"
                                "  QSaveFile out(path);\n  x.Remove(name);\n  file.open(mode);\n"
                                "  ::unlinkat(fd, name, 0);\n  rename(a, b);\n}\n"_s;
        const QString code = StripComments(planted);
        int hits = 0;
        for (const char* pattern : kPathCalls) {
            for (auto it = QRegularExpression(QString::fromLatin1(pattern)).globalMatch(code); it.hasNext(); it.next())
                ++hits;
        }
        QCOMPARE(hits, 3); // ::unlink, QSaveFile, rename
    }
};

QTEST_GUILESS_MAIN(tst_TrustBoundary)
#include "tst_trustboundary.moc"

// Local download locations: reading and forming them, and the rule that the file they name always
// lies inside its area's directory, however the location or the directory's links try to leave it.

#include "adding/download/LocalLocation.h"
#include "settings/Globals.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace TestSupport;

class TestLocalLocation : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString Area() const { return m_dir.filePath(u"area"_s); }

    LocalFile Resolve(const QString& relativePath) const
    {
        const QByteArray raw = AreaRecord(3, "Area", QFile::encodeName(Area()), kAreaHostsLocalFiles);
        return ResolveInArea(*reinterpret_cast<const FileAreaRecord*>(raw.constData()), relativePath);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QDir root(m_dir.path());
        QVERIFY(root.mkpath(u"area/sub"_s) && root.mkpath(u"outside"_s) && root.mkpath(u"area2"_s) &&
                root.mkpath(u"real"_s));
        WriteFile(m_dir.filePath(u"area2/f.zip"_s), "the sibling's");
        WriteFile(m_dir.filePath(u"real/a.zip"_s), "real");
        QVERIFY(root.mkpath(u"areaX"_s));
        WriteFile(m_dir.filePath(u"areaX/f.zip"_s), "no area's");
        // A sibling whose name begins with the area's, reached through links inside the area.
        QVERIFY(QFile::link(u"../area2/"_s, m_dir.filePath(u"area/x"_s)));
        QVERIFY(QFile::link(u"../area2"_s, m_dir.filePath(u"area/y"_s)));
        QVERIFY(QFile::link(m_dir.filePath(u"real"_s), m_dir.filePath(u"alias"_s)));
        WriteFile(m_dir.filePath(u"area/pkg.zip"_s), "inside");
        WriteFile(m_dir.filePath(u"area/sub/deep.zip"_s), "inside");
        WriteFile(m_dir.filePath(u"outside/secret.txt"_s), "outside");
        QVERIFY(QFile::link(m_dir.filePath(u"outside"_s), m_dir.filePath(u"area/out"_s)));
        QVERIFY(QFile::link(m_dir.filePath(u"outside/secret.txt"_s), m_dir.filePath(u"area/secret.txt"_s)));
        QVERIFY(QFile::link(m_dir.filePath(u"area/pkg.zip"_s), m_dir.filePath(u"area/alias.zip"_s)));
        QVERIFY(QFile::link(m_dir.filePath(u"nowhere"_s), m_dir.filePath(u"area/dangling"_s)));
    }

    void reading_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<bool>("local");
        QTest::addColumn<bool>("parsed");
        QTest::addColumn<double>("area");
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << "local://3/pkg.zip" << true << true << 3.0 << "pkg.zip";
        QTest::newRow("capitals") << "LOCAL://3/pkg.zip" << true << true << 3.0 << "pkg.zip";
        QTest::newRow("backslashes") << "Local://12/games\\pkg.zip" << true << true << 12.0
                                     << "games/pkg.zip";
        QTest::newRow("big id") << "local://4294967295/a" << true << true << 4294967295.0 << "a";
        QTest::newRow("letters for the id") << "local://abc/pkg.zip" << true << false << 0.0 << "";
        QTest::newRow("no slash") << "local://3pkg.zip" << true << false << 0.0 << "";
        QTest::newRow("only the prefix") << "local://" << true << false << 0.0 << "";
        QTest::newRow("remote") << "https://x.org/pkg.zip" << false << false << 0.0 << "";
        QTest::newRow("prefix later") << " local://3/a" << false << false << 0.0 << "";
    }
    void reading()
    {
        QFETCH(QString, location);
        QFETCH(bool, parsed);
        QTEST(IsLocalLocation(location), "local");
        const auto result = ParseLocalLocation(location);
        QCOMPARE(result.has_value(), parsed);
        if (parsed) {
            QTEST(result->areaId, "area");
            QTEST(result->relativePath, "path");
        }
    }

    void readingLeniently_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<bool>("parsed");
        QTest::addColumn<double>("area");
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << "local://3/pkg.zip" << true << 3.0 << "pkg.zip";
        QTest::newRow("capitals") << "LOCAL://3/sub\\pkg.zip" << true << 3.0 << "sub/pkg.zip";
        QTest::newRow("blanks and a sign") << "local:// \t+12/pkg.zip" << true << 12.0 << "pkg.zip";
        QTest::newRow("text after the id") << "local://7abc/x/pkg.zip" << true << 7.0 << "x/pkg.zip";
        QTest::newRow("first slash after the prefix") << "local://7 /a/b" << true << 7.0 << "a/b";
        QTest::newRow("empty path") << "local://7/" << true << 7.0 << "";
        QTest::newRow("zero") << "local://0/pkg.zip" << false << 0.0 << "";
        QTest::newRow("negative") << "local://-3/pkg.zip" << false << 0.0 << "";
        QTest::newRow("letters first") << "local://x3/pkg.zip" << false << 0.0 << "";
        QTest::newRow("sign only") << "local://+/pkg.zip" << false << 0.0 << "";
        QTest::newRow("no slash") << "local://3" << false << 0.0 << "";
        QTest::newRow("slash in the path only") << "local://3\\pkg.zip" << false << 0.0 << "";
        QTest::newRow("remote") << "http://3/pkg.zip" << false << 0.0 << "";
    }
    void readingLeniently()
    {
        QFETCH(QString, location);
        QFETCH(bool, parsed);
        const auto result = ParseLocalLocationLeniently(location);
        QCOMPARE(result.has_value(), parsed);
        if (parsed) {
            QTEST(result->areaId, "area");
            QTEST(result->relativePath, "path");
        }
    }

    void formingKeepsPlainDigits()
    {
        QCOMPARE(FormLocalLocation(7, u"pkg.zip"_s), u"local://7/pkg.zip"_s);
        QCOMPARE(FormLocalLocation(4294967295u, u"a/b.zip"_s), u"local://4294967295/a/b.zip"_s);
        const auto back = ParseLocalLocation(FormLocalLocation(1000000, u"x"_s));
        QVERIFY(back);
        QCOMPARE(back->areaId, 1000000.0);
    }

    void staysInsideTheArea_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("inside");
        QTest::newRow("a file") << "pkg.zip" << true;
        QTest::newRow("in a subdirectory") << "sub/deep.zip" << true;
        QTest::newRow("missing file") << "sub/later.zip" << true;
        QTest::newRow("link to a file inside") << "alias.zip" << true;
        QTest::newRow("dot dot") << "../outside/secret.txt" << false;
        QTest::newRow("dot dot back in") << "sub/../pkg.zip" << false;
        QTest::newRow("dot") << "./pkg.zip" << false;
        QTest::newRow("absolute") << "/etc/passwd" << false;
        QTest::newRow("empty part") << "sub//deep.zip" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("through a linked directory") << "out/secret.txt" << false;
        QTest::newRow("missing file behind the link") << "out/new.zip" << false;
        QTest::newRow("a link to a file outside") << "secret.txt" << false;
        QTest::newRow("a dangling link") << "dangling" << false;
        QTest::newRow("link to the sibling area") << "x/f.zip" << false;
        QTest::newRow("link to the sibling, no slash") << "y/f.zip" << false;
        QTest::newRow("missing file in the sibling") << "x/new.zip" << false;
    }
    void staysInsideTheArea()
    {
        QFETCH(QString, relative);
        QFETCH(bool, inside);
        const LocalFile file = Resolve(relative);
        QCOMPARE(file.status == LocalFile::Status::Inside, inside);
        if (inside)
            QCOMPARE(file.path, Area() + u'/' + relative);
        else
            QVERIFY(file.path.isEmpty());
    }

    // Which area a path the user gave lies in: by its text, the area's directory followed by "/".
    void areaHoldingAPath_data()
    {
        QTest::addColumn<QString>("path");      // relative to the test directory
        QTest::addColumn<QString>("directory"); // the area's, as in the table; empty for none
        QTest::addColumn<QString>("relative");
        QTest::newRow("in the area") << "area/pkg.zip" << "area" << "pkg.zip";
        QTest::newRow("innermost of nested areas") << "area/sub/deep.zip" << "area/sub" << "deep.zip";
        QTest::newRow("sibling with the same beginning") << "area2/f.zip" << "area2" << "f.zip";
        QTest::newRow("sibling that is no area") << "areaX/f.zip" << "" << "";
        QTest::newRow("through an area's link") << "area/x/f.zip" << "area" << "x/f.zip";
        QTest::newRow("by the resolved directory") << "real/a.zip" << "alias" << "a.zip";
        QTest::newRow("the directory itself") << "area" << "" << "";
        QTest::newRow("outside every area") << "outside/secret.txt" << "" << "";
    }
    void areaHoldingAPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, directory);
        WriteFile(m_dir.filePath(u"Filearea.dat"_s),
                  HeaderRecord() + AreaRecord(3, "Area", QFile::encodeName(Area())) +
                      AreaRecord(4, "Area 2", QFile::encodeName(m_dir.filePath(u"area2/"_s))) +
                      AreaRecord(5, "Nested", QFile::encodeName(m_dir.filePath(u"area/sub"_s))) +
                      AreaRecord(6, "Alias", QFile::encodeName(m_dir.filePath(u"alias"_s))));
        QVERIFY(theFileAreaTable.Open(m_dir.filePath(u"Filearea.dat"_s)));
        const CAreaDirectories areas;
        theFileAreaTable.Close();
        const auto found = areas.Find(m_dir.filePath(path));
        QCOMPARE(found.has_value(), !directory.isEmpty());
        if (found) {
            QCOMPARE(QDir::cleanPath(found->directory), m_dir.filePath(directory));
            QTEST(found->relativePath, "relative");
        }

        // Opened as a source to copy: through the area, where a link on the way is refused; outside
        // every area, by the administrator's path.
        const CSafeFile source = areas.OpenSource(m_dir.filePath(path));
        const bool viaLink = path.startsWith(u"area/x/"_s);
        QCOMPARE(source.IsOpen(), !viaLink && QFileInfo(m_dir.filePath(path)).isFile());
        if (viaLink) {
            QCOMPARE(source.Fault().kind, FileFault::Kind::Link);
            QCOMPARE(source.Fault().name, m_dir.filePath(u"area/x"_s));
        }
    }

    void openingInAnArea()
    {
        QVERIFY(OpenInArea(Area(), u"sub/deep.zip").IsOpen());
        for (const QString& refused : {u"out/secret.txt"_s, u"secret.txt"_s, u"x/f.zip"_s, u"../area2/f.zip"_s}) {
            const CSafeFile file = OpenInArea(Area(), refused);
            QVERIFY2(!file.IsOpen() && file.Fault(), qPrintable(refused));
        }
    }
};

QTEST_GUILESS_MAIN(TestLocalLocation)
#include "tst_locallocation.moc"

#include "DemoFiles.h"

#include "database/CFileRecord.h"
#include "database/CTroveportDatabaseManager.h"
#include "files/SafeFormat.h"
#include "reviews/ReviewFile.h"
#include "reviews/Submissions.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>
#include <cstring>
#include <tuple>
#include <zip.h>

namespace {

struct DemoFile
{
    quint32 area;
    const char* directory; // the area's directory name, or null for a file on the web
    const char* fileName;
    const char* title;
    const char* version;
    const char* author;
    const char* email;
    const char* brief;
    const char* details;
    const char* date; // yyyy-MM-dd
    int downloads;
};

const DemoFile kFiles[] = {
    {1, "games", "keen4.zip", "Commander Keen 4", "1.4", "Tom Hall", "tom@example.org",
     "Secret of the Oracle, episode one of Goodbye Galaxy.",
     "Billy Blaze travels to Gnosticus IV to rescue the Oracle's council members.\nShareware episode; "
     "register for the full trilogy.",
     "1991-12-15", 4211},
    {1, "games", "jazz.zip", "Jazz Jackrabbit", "1.2", "Arjan Brussee", "arjan@example.org",
     "Fast platform action with a green hare and a blaster.",
     "Episode one, Turtle Terror. Six worlds, hidden bonus levels, split-screen two-player mode.",
     "1994-08-01", 3120},
    {1, "games", "scorch.zip", "Scorched Earth", "1.5", "Wendell Hicken", "wendell@example.org",
     "Artillery duels for up to ten players.",
     "Tanks, guided missiles, MIRVs and shields. Works with a mouse or the keyboard.", "1995-05-20", 5872},
    {1, "games", "hugo.zip", "Hugo's House of Horrors", "1.0", "David Gray", "david@example.org",
     "A graphic adventure in a haunted house.", "Find Penelope before it is too late. Type your commands.",
     "1990-06-11", 1502},
    {1, "games", "chess88.zip", "Chess 88", "2.1", "Rina Kovac", "rina@example.org",
     "A strong chess program with opening book.", "Plays at nine levels, takes back moves, prints games.",
     "1993-02-03", 845},
    {2, nullptr, "https://archive.example.org/arcade/galaxian.zip", "Galaxian Tribute", "1.0", "Ivo Lanz",
     "ivo@example.org", "A faithful remake of the arcade shooter.", "Attack waves, flagships and escorts.",
     "1996-03-09", 377},
    {2, nullptr, "https://archive.example.org/arcade/pacmania.zip", "Pac Mania Remix", "0.9", "Ada Chen",
     "ada@example.org", "Eat the dots, avoid the ghosts, in 3D.", "Includes a level editor.", "1997-11-21",
     610},
    {2, nullptr, "ftp://ftp.example.org/pub/arcade/asteroid.zip", "Asteroid Belt", "3.0", "Ivo Lanz",
     "ivo@example.org", "Vector graphics rock blasting.", "Hyperspace, shields and a two-player mode.",
     "1995-07-14", 290},
    {3, "dosutil", "pkz204g.zip", "PKZIP", "2.04g", "PKWARE", "support@example.org",
     "The archiver everybody uses: compress, extract, test.", "PKZIP, PKUNZIP and ZIP2EXE with the manual.",
     "1993-02-01", 9981},
    {3, "dosutil", "4dos602.zip", "4DOS", "6.02", "JP Software", "sales@example.org",
     "A command interpreter that replaces COMMAND.COM.",
     "Command-line editing, history, aliases, descriptions for files and a batch language.", "1998-03-30",
     2400},
    {3, "dosutil", "lst93.zip", "LIST", "9.3", "Vernon Buerg", "vernon@example.org",
     "The file viewer for text and binary files.", "Scroll, search, hex view and printing.", "1992-09-01",
     3010},
    {3, "dosutil", "dirsiz23.zip", "DIRSIZE", "2.3", "Lena Moss", "lena@example.org",
     "Shows how much space each directory takes.", "Sorts by size and counts slack space.", "1994-01-18",
     402},
    {4, "winutil", "wzip60.zip", "WinZip", "6.0", "Nico Mak", "nico@example.org",
     "Zip archives from the Windows desktop.", "Drag and drop, virus scanner hook, self-extractors.",
     "1995-09-04", 7700},
    {4, "winutil", "psp311.zip", "Paint Shop Pro", "3.11", "Robert Voit", "robert@example.org",
     "Paint, retouch and convert images.", "Reads and writes more than thirty picture formats.", "1995-10-12",
     6430},
    {4, "winutil", "calmira2.zip", "Calmira", "2.2", "Li-Hsin Huang", "lihsin@example.org",
     "A Windows 95 style shell for Windows 3.1.", "Taskbar, start menu and desktop folders.", "1997-04-02",
     1280},
    {4, "winutil", "trumpet.zip", "Trumpet Winsock", "2.1", "Peter Tattam", "peter@example.org",
     "TCP/IP for Windows 3.1: get on the Internet.", "Dialler scripts, SLIP and PPP.", "1995-01-25", 8800},
    {5, "programming", "tp55.zip", "Turbo Pascal", "5.5", "Borland", "info@example.org",
     "The compiler that made Pascal fast.", "Object-oriented extensions, an IDE and a debugger.",
     "1989-05-02", 5120},
    {5, "programming", "djgpp.zip", "DJGPP", "2.03", "DJ Delorie", "dj@example.org",
     "The GNU C and C++ compilers for 32-bit DOS.", "With make, gdb and the RHIDE editor.", "1999-12-24",
     4300},
    {5, "programming", "nasm098.zip", "NASM", "0.98", "Simon Tatham", "simon@example.org",
     "The Netwide Assembler for x86.", "Portable, with a clean syntax and many output formats.", "1999-01-15",
     2210},
    {5, "programming", "qbasic.zip", "QBasic Examples", "1.1", "Marta Ruiz", "marta@example.org",
     "Fifty programs to learn BASIC with.", "Games, sorting, graphics and sound.", "1992-04-20", 990},
    {6, "text", "rbil54.zip", "Ralf Brown's Interrupt List", "54", "Ralf Brown", "ralf@example.org",
     "Every known DOS and BIOS interrupt call, documented.",
     "The programmer's reference: thousands of calls, ports and memory areas.", "1998-07-16", 6600},
    {6, "text", "jargon.zip", "The Jargon File", "4.0", "Eric Raymond", "esr@example.org",
     "A lexicon of hacker slang.", "Thousands of entries with their history.", "1996-07-24", 3400},
    {6, "text", "modemfaq.zip", "Modem FAQ", "1.8", "Pia Holm", "pia@example.org",
     "Answers on Hayes commands, init strings and speeds.", "Covers V.32bis, V.34 and 56k.", "1997-02-11",
     760},
    {6, "text", "bbslist.zip", "BBS List 1996", "12", "Sam Okafor", "sam@example.org",
     "Bulletin boards by area code.", "Numbers, speeds and sysop names.", "1996-12-31", 512},
};

// Files kept in a second area as well, as libraries keep a copy where else visitors look for it:
// Virus Check then has two copies to check.
const struct
{
    const char* fileName;
    quint32 area;
    const char* directory;
} kSecondCopies[] = {
    {"djgpp.zip", 3, "dosutil"},
    {"nasm098.zip", 3, "dosutil"},
};

// Reviews the site has published for some files, so that the Reviews page has something to show.
// Texts use "\n" between lines; non-ASCII names show that the files are UTF-8.
const struct
{
    const char* fileName;
    const char* name;
    const char* email;
    bool anonymous;
    const char* date;
    const char* text;
} kReviews[] = {
    {"keen4.zip", "Marcus Webb", "marcus@example.org", false, "January 4, 1992",
     "Smooth scrolling on a PC at last.\nThe dopefish alone is worth the download."},
    {"keen4.zip", "Kim Sato", "kim@example.org", true, "March 18, 1992",
     "My whole class plays it at lunch.\n\nRegistering for the other two episodes."},
    {"scorch.zip", "José Ortega", "jose@example.org", false, "June 2, 1995",
     "Ten players on one keyboard, and the death heads are hilarious."},
    {"pkz204g.zip", "Helga Brandt", "helga@example.org", false, "February 9, 1993",
     "Faster than ARJ on my 386 and the archives are smaller."},
    {"pkz204g.zip", "Dan Cole", "dan@example.org", true, "April 1, 1993", "Does what it says. Essential."},
    {"pkz204g.zip", "Priya Nair", "priya@example.org", false, "May 20, 1993",
     "Remember -ex for the best compression.\nThe manual explains every switch."},
    {"tp55.zip", "Oskar Lind", "oskar@example.org", false, "August 30, 1989",
     "Compiles my programs before I can reach for the coffee."},
};

// Writes the reviews of one demonstration file, if it has any.
bool WriteDemoReviews(const QString& webRoot, const char* fileName, double fileId, QString* error)
{
    QList<CReview> reviews;
    for (const auto& r : kReviews) {
        if (qstrcmp(r.fileName, fileName) == 0)
            reviews.append({QString::fromUtf8(r.name), QString::fromUtf8(r.email), r.anonymous,
                            QString::fromUtf8(r.date),
                            QString::fromUtf8(r.text).replace(QLatin1Char('\n'), QStringLiteral("\r\n"))});
    }
    const QString path = ReviewFilePath(webRoot, qint32(fileId));
    if (reviews.isEmpty() || WriteReviewFile(path, reviews))
        return true;
    *error = SafeFormat(u"Cannot write the review file %s.", path);
    return false;
}

// Archives published at the time, used instead of generated ones of the same name when the
// project's test data is at hand ($TROVEPORT_TESTDATA), so that a virus checker sees real programs.
QString RealArchive(const QString& fileName)
{
    const QString root = qEnvironmentVariable("TROVEPORT_TESTDATA");
    if (root.isEmpty() || fileName != QLatin1String("dirsiz23.zip"))
        return QString();
    const QString path = root + QStringLiteral("/bbs-archives/zip/bfds/") + fileName;
    return QFileInfo(path).isFile() ? path : QString();
}

bool CopyFile(const QString& from, const QString& to, QString* error)
{
    QFile::remove(to);
    if (QFile::copy(from, to) &&
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther))
        return true;
    *error = QStringLiteral("Cannot copy %1 to %2.").arg(from, to);
    return false;
}

// A small zip archive holding a FILE_ID.DIZ description and a read-me, as files were published.
bool WriteArchive(const QString& path, const DemoFile& file, time_t date, QString* error)
{
    int status = 0;
    zip_t* archive = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &status);
    if (!archive) {
        *error = QStringLiteral("Cannot create %1.").arg(path);
        return false;
    }
    const QByteArray diz =
        QStringLiteral("%1 v%2\r\n%3\r\n")
            .arg(QLatin1String(file.title), QLatin1String(file.version), QLatin1String(file.brief))
            .toUtf8();
    const QByteArray readme =
        (QLatin1String(file.title) + QStringLiteral("\n\n") + QLatin1String(file.details) +
         QStringLiteral("\n\nWritten by ") + QLatin1String(file.author) + QStringLiteral("\n"))
            .toUtf8()
            .replace("\n", "\r\n");
    const std::pair<const char*, QByteArray> members[] = {{"FILE_ID.DIZ", diz}, {"README.TXT", readme}};
    for (const auto& [name, data] : members) {
        // libzip reads the data only when the archive is closed: it gets a copy of its own to free.
        void* copy = std::malloc(size_t(data.size()));
        std::memcpy(copy, data.constData(), size_t(data.size()));
        zip_source_t* source = zip_source_buffer(archive, copy, zip_uint64_t(data.size()), 1);
        const zip_int64_t index = source ? zip_file_add(archive, name, source, ZIP_FL_OVERWRITE) : -1;
        if (index < 0 || zip_file_set_mtime(archive, zip_uint64_t(index), date, 0) < 0) {
            if (source && index < 0)
                zip_source_free(source);
            zip_discard(archive);
            *error = QStringLiteral("Cannot write %1.").arg(path);
            return false;
        }
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        *error = QStringLiteral("Cannot write %1.").arg(path);
        return false;
    }
    return true;
}

} // namespace

bool AddDemoFiles(const QString& areasDirectory, const QString& webRoot, QString* error)
{
    QList<std::pair<qint32, QString>> submitted; // the files visitors have sent reviews of
    for (const DemoFile& file : kFiles) {
        CFileRecord record(&theDatabaseManager);
        const QDateTime date =
            QDateTime(QDate::fromString(QLatin1String(file.date), Qt::ISODate), QTime(12, 0), Qt::UTC);
        QString url = QString::fromLatin1(file.fileName);
        if (file.directory) {
            const QString path =
                areasDirectory + QLatin1Char('/') + QLatin1String(file.directory) + QLatin1Char('/') + url;
            const QString real = RealArchive(url);
            if (real.isEmpty() ? !WriteArchive(path, file, time_t(date.toSecsSinceEpoch()), error)
                               : !CopyFile(real, path, error))
                return false;
            record.file_size = double(QFileInfo(path).size());
            url = SafeFormat(u"local://%s/%s", file.area, url);
        } else {
            record.file_size = 100000 + 1000 * file.downloads;
        }
        record.title = QString::fromLatin1(file.title);
        record.version = QString::fromLatin1(file.version);
        record.upld_name = QString::fromLatin1(file.author);
        record.upld_email = QString::fromLatin1(file.email);
        record.short_desc = QString::fromLatin1(file.brief);
        record.long_desc =
            QString::fromLatin1(file.details).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        record.file_date = quint32(date.toSecsSinceEpoch());
        record.last_download = quint32(date.addDays(400 + file.downloads % 300).toSecsSinceEpoch());
        record.downloads = file.downloads;
        bool added = record.Add() && record.AddToFileArea(file.area) && record.AddDownloadURL(url);
        for (const auto& copy : kSecondCopies) {
            if (!added || qstrcmp(copy.fileName, file.fileName) != 0)
                continue;
            const QString name = QString::fromLatin1(file.fileName);
            if (!CopyFile(areasDirectory + QLatin1Char('/') + QLatin1String(file.directory) +
                              QLatin1Char('/') + name,
                          areasDirectory + QLatin1Char('/') + QLatin1String(copy.directory) +
                              QLatin1Char('/') + name,
                          error))
                return false;
            added = record.AddToFileArea(copy.area) &&
                    record.AddDownloadURL(SafeFormat(u"local://%s/%s", copy.area, name));
        }
        if (!added) {
            *error = QStringLiteral("Cannot add \"%1\" to the database %2 (see troveport-db.log beside it).")
                         .arg(record.title, theDatabaseManager.GetDatabaseName());
            return false;
        }
        if (!WriteDemoReviews(webRoot, file.fileName, record.file_id, error))
            return false;
        if (qstrcmp(file.fileName, "keen4.zip") == 0 || qstrcmp(file.fileName, "pkz204g.zip") == 0)
            submitted.append({qint32(record.file_id), QString::fromLatin1(file.fileName)});
    }
    // Reviews that visitors submitted and that wait for the administrator.
    const char* const reviewers[][4] = {
        {"Sam Reed", "sam@example.org", "2026-11-30",
         "Still the best platformer of its day.\nThe secret level "
         "took me a week."},
        {"Jo Park", "jo@example.org", "2026-12-01", "Fast and reliable. Use -ex for the best compression."},
        {"Anon Ymous", "anon@example.org", "2026-12-02", "Great, but the registration screen nags."},
    };
    QList<CSubmission> submissions;
    for (qsizetype i = 0; i < 3 && !submitted.isEmpty(); ++i) {
        CSubmission submission;
        std::tie(submission.file_id, submission.file_name) = submitted[i % submitted.size()];
        submission.name = QString::fromLatin1(reviewers[i][0]);
        submission.email = QString::fromLatin1(reviewers[i][1]);
        submission.date = QString::fromLatin1(reviewers[i][2]);
        submission.text =
            QString::fromLatin1(reviewers[i][3]).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        submission.anonymous = i == 2;
        submissions.append(submission);
    }
    if (!WriteSubmissions(webRoot + QStringLiteral("reviews/submissions.txt"), submissions)) {
        *error = QStringLiteral("Cannot write %1reviews/submissions.txt.").arg(webRoot);
        return false;
    }
    return true;
}

bool AddDemoUploads(const QString& areasDirectory, QString* error)
{
    // Waiting uploads as the web site leaves them: the file and "<file>.desc" beside it.
    const DemoFile archive = {7,
                              "incoming",
                              "mandel.zip",
                              "Mandelbrot Explorer",
                              "1.1",
                              "Theo Berg",
                              "theo@example.org",
                              "Zoom into the Mandelbrot set in 256 colours.",
                              "Deep zoom, colour cycling and PCX export.",
                              "1996-04-02",
                              0};
    const QString incoming = areasDirectory + QStringLiteral("/incoming/");
    if (!WriteArchive(incoming + QLatin1String(archive.fileName), archive, time_t(828446400), error))
        return false;
    const struct
    {
        const char* directory;
        const char* fileName;
        QByteArray content;
        QByteArray description;
    } uploads[] = {
        // No descriptions in the description file: the scan takes them from FILE_ID.DIZ.
        {"incoming", "mandel.zip", QByteArray(),
         "Filename: mandel.zip\nTitle: Mandelbrot Explorer\nVersion: 1.1\nCompany: Theo Berg\n"
         "Email: theo@example.org\nReqForm: no\n"},
        {"incoming", "qbfaq.txt", "QBasic questions and answers.\r\n",
         "Filename: qbfaq.txt\nTitle: QBasic FAQ\nVersion: 3\nShortDesc: Answers to common QBasic "
         "questions.\nCompany: Mia Stone\nEmail: mia@example.org\nReqForm: yes\n\nGraphics, sound, files "
         "and speed.\nCollected from the newsgroup.\n"},
        {"programming", "asmtut.txt", "Lesson 1: registers.\r\n",
         "Filename: asmtut.txt\nTitle: Assembly Tutorial\nVersion: 0.9\nShortDesc: Twelve lessons in "
         "8086 assembly.\nCompany: Ken Ito\nEmail: ken@example.org\n\nFrom registers to TSRs.\n"},
    };
    for (const auto& upload : uploads) {
        const QString path = areasDirectory + QLatin1Char('/') + QLatin1String(upload.directory) +
                             QLatin1Char('/') + QLatin1String(upload.fileName);
        QFile file(path);
        QFile description(path + QStringLiteral(".desc"));
        if ((!upload.content.isEmpty() &&
             (!file.open(QIODevice::WriteOnly) || file.write(upload.content) != upload.content.size())) ||
            !description.open(QIODevice::WriteOnly) ||
            description.write(upload.description) != upload.description.size()) {
            *error = QStringLiteral("Cannot write %1.").arg(path);
            return false;
        }
    }
    return true;
}

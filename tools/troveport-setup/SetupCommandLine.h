#pragma once

#include <QElapsedTimer>
#include <QMultiMap>
#include <QString>
#include <QStringList>
#include <QTextStream>

// The command line of troveport-setup and what its commands share: the words and options given, the
// error that says the line was wrong, and the library the commands work on.

struct CommandLine
{
    QStringList words;
    QMultiMap<QString, QString> options;

    bool Has(const QString& name) const { return options.contains(name); }
    QString Value(const QString& name) const { return options.value(name); }
    // Every value of an option given more than once, in the order given.
    QStringList Values(const QString& name) const;
};

// The command line is wrong: the text says how. Exit status 2.
class CUsageError
{
public:
    explicit CUsageError(QString text) : m_text(std::move(text)) {}
    const QString& Text() const { return m_text; }

private:
    QString m_text;
};

// Splits the arguments into words and options ("--name value", "--name=value", flags); "--" ends
// the options. Throws CUsageError for an unknown option or a missing value.
CommandLine ParseCommandLine(const QStringList& arguments);

// Options that apply to the command; any other given option throws CUsageError. --library and
// --machine-settings apply to every command.
void Allow(const CommandLine& line, const QString& command, QSet<QString> allowed);
void ExpectWords(const CommandLine& line, qsizetype minimum, qsizetype maximum, const QString& command);
quint32 ParseAreaId(const QString& text);

// The library's database directory: --library, else the machine setting DatabasePath. Empty, with
// *error set, when neither names one.
QString LibraryDirectory(const CommandLine& line, QString* error);

// Writes "troveport-setup: <error>" and returns status.
int Fail(QTextStream& err, const QString& error, int status = 1);

// Makes theDatabaseManager use the library's database: the PostgreSQL database the machine setting
// DatabaseConnection names, else the SQLite file in the library's directory.
void UseLibraryDatabase(const QString& library);

// Prepares the commands that work on the library as the explorer does (check, import, the upload
// scan): the settings the explorer reads when it starts, the area table opened for reading (which a
// running explorer allows), and the database. An SQLite file that is not there is an error rather
// than a new, empty library. False, with the reason in *error, when the library cannot be read.
bool OpenLibraryAsExplorer(const QString& library, QString* error);

// Whether the commands show a progress line: main sets it when standard error is a terminal, so a
// job run from cron or a pipe gets only the report.
void SetProgressOnTerminal(bool on);

// One line of progress on the terminal, rewritten in place at most ten times a second and cleared
// when the work ends. Does nothing when the output is no terminal.
class CProgressLine
{
public:
    explicit CProgressLine(QTextStream& err);
    ~CProgressLine() { Clear(); }
    CProgressLine(const CProgressLine&) = delete;
    CProgressLine& operator=(const CProgressLine&) = delete;

    void Show(const QString& text, bool now = false);
    void Clear();

private:
    QTextStream& m_err;
    bool m_on;
    qsizetype m_shown = 0;
    QElapsedTimer m_since;
};

#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

// The one way the program asks the user for a file or a folder. In answering mode (tests) no
// dialog appears: each request is recorded and gets the next queued answer, an empty string
// (cancel) when none is queued.
class CFileChooser
{
public:
    enum class Kind
    {
        OpenFile,
        Directory
    };

    // A chosen existing file, or empty on cancel.
    static QString GetOpenFileName(QWidget* owner, const QString& caption, const QString& startPath,
                                   const QString& filter = QString());
    // A chosen existing folder, or empty on cancel.
    static QString GetExistingDirectory(QWidget* owner, const QString& caption, const QString& startPath);

    struct Request
    {
        Kind kind;
        QString caption;
        QString startPath;
        QString filter;
    };

    static void SetAnsweringMode(bool on);
    static void QueueAnswer(const QString& answer);
    static QList<Request> TakeRequests();

private:
    static bool Answer(const Request& request, QString* answer);
};

#pragma once

#include "properties/FileRemoval.h"

#include <QCoreApplication>
#include <QMutex>

#include <functional>
#include <optional>

class CFileRecord;
class QWidget;

// The walk of Delete File and Remove from Area over the selected files, with its questions and
// reports. A walk over several files runs beside the window with progress and Cancel; its
// questions still come up on the window, one at a time.
class CFileRemover : public CRemovalPrompts
{
    Q_DECLARE_TR_FUNCTIONS(CFileRemover)

public:
    enum class Kind
    {
        Delete,
        Remove
    };

    // Questions and progress belong to owner. The files are those of the rows of cursor, taken
    // from it here: the walk never reads the cursor, which the window goes on using.
    CFileRemover(QWidget* owner, const CFileRecord& cursor, const ListRowRanges& rows, Kind kind);
    ~CFileRemover() override;
    CFileRemover(const CFileRemover&) = delete;
    CFileRemover& operator=(const CFileRemover&) = delete;

    // The walk of the command, after its first question.
    void Run(double areaId = 0);

    // What the progress says while the walk deals with a file: "Deleting <title> (12 of 3400)".
    static QString ProgressText(Kind kind, qint64 number, qint64 total, const QString& title);

    // With several files, the question about local copies also offers Yes to All and No to All;
    // such an answer holds for the rest of the walk.
    Answer AskDeleteLocalCopies() override;
    bool AskDeleteFileOfLastArea(const QString& title) override;
    void ReportNotDeleted(const QString& path, const FileFault& fault) override;
    void ReportCopyKept(const QString& path, const QString& keeper) override;
    void ReportOutsideArea(const QString& location) override;
    void ReportCannotDelete(const QString& reason) override;
    bool Starting(qint64 number, qint64 total, const QString& title) override;

    // For the walk beside the window: a report waits here until the window next shows one.
    void QueueReport(std::function<void(CRemovalPrompts&)> report);
    // Shows the reports waiting, in the order they came; on the window thread.
    void ShowQueuedReports();

private:
    QWidget* m_owner;
    const QList<qint64> m_keys;
    const Kind m_kind;
    std::optional<Answer> m_copiesForAll; // Yes to All or No to All, once given
    QMutex m_reportsMutex;
    QList<std::function<void(CRemovalPrompts&)>> m_reports;
};

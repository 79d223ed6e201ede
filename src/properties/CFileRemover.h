#pragma once

#include "properties/FileRemoval.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <memory>

class CFileRecord;
class CMainFrame;
class QProgressDialog;
class QWidget;

// The Delete File and Remove from Area commands: the questions, the wait cursor, the walk over the
// selected rows with its progress, then a refresh of the list.
class CFileRemover : public CRemovalPrompts
{
    Q_DECLARE_TR_FUNCTIONS(CFileRemover)

public:
    enum class Kind
    {
        Delete,
        Remove
    };

    // Questions and progress belong to owner; rows are positions in cursor.
    CFileRemover(QWidget* owner, CFileRecord& cursor, ListRowRanges rows, Kind kind);
    ~CFileRemover() override;
    CFileRemover(const CFileRemover&) = delete;
    CFileRemover& operator=(const CFileRemover&) = delete;

    // The walk of the command, after its first question.
    void Run(double areaId = 0);

    // The commands as the frame runs them.
    static void RunDeleteFile(CMainFrame& frame);
    static void RunRemoveFromArea(CMainFrame& frame);

    // How long a walk runs before its progress shows, and how often it is brought up to date
    // afterwards, in milliseconds.
    static constexpr int kProgressDelay = 500;
    static constexpr int kProgressInterval = 50;
    // Tests show the progress at once.
    static void SetProgressTimes(int delay, int interval);

    Answer AskDeleteLocalCopies() override;
    bool AskDeleteFileOfLastArea(const QString& title) override;
    void ReportNotDeleted(const QString& path, const FileFault& fault) override;
    void ReportOutsideArea(const QString& location) override;
    void ReportCannotDelete(const QString& reason) override;
    bool Starting(qint64 number, qint64 total, const QString& title) override;

private:
    static void RunCommand(CMainFrame& frame, Kind kind);

    QWidget* m_owner;
    CFileRecord& m_cursor;
    const ListRowRanges m_rows;
    const Kind m_kind;
    QElapsedTimer m_clock;
    qint64 m_lastUpdate = 0;
    std::unique_ptr<QProgressDialog> m_progress;
};

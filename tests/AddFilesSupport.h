#pragma once

// The Add Files wizard driven over a demonstration library, as a user would: the first page
// filled, the copy question answered, the run awaited; and the files that land in the host area.

#include "adding/addfiles/CAddFilesDoitPage.h"
#include "adding/addfiles/CAddFilesDonePage.h"
#include "adding/addfiles/CAddFilesInfoPage.h"
#include "adding/addfiles/CAddFilesSummary.h"
#include "adding/addfiles/CAddFilesWizard.h"
#include "database/CFileRecord.h"
#include "DemoSupport.h"
#include "DialogSupport.h"
#include "settings/CFileAreaTable.h"
#include "settings/Globals.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

namespace AddFilesSupport {

inline constexpr quint32 kHostAreaId = 1; // "Shareware Games", hosts local files

inline bool WriteFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// Makes the entries under dir: "name" a file, "a/b/" directories, "name -> target" a symbolic link.
inline bool MakeTree(const QString& dir, const QStringList& entries)
{
    for (const QString& entry : entries) {
        const qsizetype arrow = entry.indexOf(u" -> "_s);
        const QString path = dir + u'/' + (arrow < 0 ? entry : entry.left(arrow));
        const bool made = arrow >= 0   ? QDir().mkpath(QFileInfo(path).path()) && QFile::link(entry.mid(arrow + 4), path)
                          : entry.endsWith(u'/') ? QDir().mkpath(path)
                                               : WriteFile(path, "x");
        if (!made)
            return false;
    }
    return true;
}

// The paths below dir, each relative to it.
inline QStringList RelativeTo(const QString& dir, const QStringList& paths)
{
    QStringList relative;
    for (const QString& path : paths)
        relative.append(path.startsWith(dir + u'/') ? path.mid(dir.size() + 1) : path);
    return relative;
}

// Every file under dir, as paths relative to it, sorted.
inline QStringList FilesUnder(const QString& dir)
{
    QStringList files;
    const QDir base(dir);
    std::function<void(const QString&)> walk = [&](const QString& path) {
        const QDir here(path);
        for (const QFileInfo& info :
             here.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
            if (info.isDir() && !info.isSymLink())
                walk(info.filePath());
            else
                files.append(base.relativeFilePath(info.filePath()));
        }
    };
    walk(dir);
    files.sort();
    return files;
}

// The file stored with this location, or null.
inline std::unique_ptr<CFileRecord> FileWithLocation(const QString& location)
{
    auto cursor = std::make_unique<CFileRecord>(&theDatabaseManager);
    if (!cursor->GetAllFilesInArea(kHostAreaId))
        return nullptr;
    for (qint64 row = 1; row <= cursor->GetRecordCount(); ++row) {
        if (!cursor->SetAbsolutePosition(row))
            continue;
        QStringList urls;
        if (theDatabaseManager.GetDownloadURLs(cursor->file_id, urls) && urls.contains(location))
            return ReadFileOfListRow(*cursor, row - 1);
    }
    return nullptr;
}

// A demonstration library in a directory of the test's own, and the wizard run over it.
class CWizardRunner
{
public:
    QTemporaryDir m_dir;
    QString m_hostDirectory;
    QString m_hostName;

    // Makes and opens the library, with the host area's directory in place; false with *error.
    bool Open(QString* error)
    {
        if (!m_dir.isValid() || !DemoSupport::OpenDemoLibrary(m_dir.path(), error))
            return false;
        CMessageBox::SetAnsweringMode(true);
        const FileAreaRecord* host = theFileAreaTable.FindArea(kHostAreaId);
        if (!host || !host->HasFlag(kAreaHostsLocalFiles)) {
            *error = u"the demonstration's first area hosts no files"_s;
            return false;
        }
        m_hostName = host->Name();
        m_hostDirectory = host->Path();
        return QDir().mkpath(m_hostDirectory);
    }

    std::unique_ptr<CAddFilesWizard> MakeWizard() const
    {
        auto wizard = std::make_unique<CAddFilesWizard>(u"Add Files Wizard"_s);
        wizard->show();
        return wizard;
    }

    // Fills the first page and leaves it forwards; true when the Summary page shows.
    bool Choose(CAddFilesWizard& w, const QString& directory, bool subdirectories, bool extract,
                const QString& hostName = QString())
    {
        CAddFilesInfoPage* info = w.GetInfoPage();
        info->GetDirectoryEdit()->setText(directory);
        info->GetHostAreaList()->setCurrentIndex(
            info->GetHostAreaList()->findText(hostName.isEmpty() ? m_hostName : hostName));
        info->GetSubdirectoriesBox()->setChecked(subdirectories);
        info->GetExtractBox()->setChecked(extract);
        return w.PressNext() && w.GetActivePage() == w.GetSummaryPage();
    }

    // Runs the chosen files to the results page, answering the copy question; the results log.
    QString RunToResults(CAddFilesWizard& w, bool expectQuestion)
    {
        if (expectQuestion)
            CMessageBox::QueueAnswer(QMessageBox::Yes);
        if (!w.PressNext() || w.GetActivePage() != w.GetDoitPage())
            return u"(the progress page did not show)"_s;
        QPushButton* next = w.GetButton(CPropertySheet::kNextButton);
        if (!QTest::qWaitFor([&] { return next->isEnabled(); }, 20000))
            return u"(the worker did not complete)"_s;
        if (w.GetDoitPage()->GetCurrentFileEdit()->text() != u"Completed."_s ||
            w.GetDoitPage()->GetProgressBar()->value() != w.GetDoitPage()->GetProgressBar()->maximum())
            return u"(the page does not show the end)"_s;
        if (!w.PressNext() || w.GetActivePage() != w.GetDonePage())
            return u"(the results page did not show)"_s;
        return w.GetResultsLog();
    }
};

} // namespace AddFilesSupport

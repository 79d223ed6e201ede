#pragma once

// The File Properties sheet driven through the explorer window offscreen on a demonstration
// library, with the web site beside it: what the tests of the sheet share.

#include "controls/CFileChooser.h"
#include "database/CFileRecord.h"
#include "DatabaseSupport.h"
#include "DemoSupport.h"
#include "DialogSupport.h"
#include "FrameSupport.h"
#include "properties/CFilePropertySheet.h"
#include "ZoneSupport.h"

#include <QTemporaryDir>

#include <functional>

namespace FileSheetSupport {

constexpr quint32 kText = 6;        // "Documents/Text Files"
constexpr quint32 kProgramming = 5; // in "Utilities" and in "Uploads"

// A file with a few fields set, in the areas, at the locations; its id.
inline double AddLibraryFile(const QString& title, const QList<quint32>& areas, const QStringList& urls = {})
{
    CFileRecord record(&theDatabaseManager);
    record.title = title;
    record.version = QStringLiteral("1.0");
    record.file_size = 1234;
    record.long_desc = QStringLiteral("Long text.");
    return DatabaseSupport::AddLibraryFile(record, areas, urls);
}

// A test class of the sheet: the library and the site are opened once, a window for each case.
class CFileSheetTest : public QObject
{
protected:
    QTemporaryDir m_dir;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<DatabaseSupport::COtherProgram> m_site;

    CMainFrame& Frame() { return *m_frame; }
    QString Path(const QString& name) const { return m_dir.filePath(name); }

    void OpenLibrary()
    {
        TROVEPORT_REQUIRE_ENGINE();
        ZoneSupport::RequireZoneInEffect();
        QVERIFY(m_dir.isValid());
        QString error;
        QVERIFY2(DemoSupport::OpenDemoLibrary(m_dir.path(), &error), qPrintable(error));
        m_site = std::make_unique<DatabaseSupport::COtherProgram>(theDatabaseManager.GetDatabaseFile());
        QVERIFY(m_site->IsOpen());
        CMessageBox::SetAnsweringMode(true);
        CFileChooser::SetAnsweringMode(true);
    }

    void OpenWindow()
    {
        m_frame = FrameSupport::MakeFrame();
        QVERIFY(m_frame);
        CModalRun::ClearHandlers();
        CMessageBox::TakeRequests();
        CFileChooser::TakeRequests();
    }

    void CloseWindow()
    {
        QCOMPARE(CModalRun::PendingHandlers(), 0);
        CModalRun::ClearHandlers();
        m_frame.reset();
    }

    void SelectFile(const QString& title)
    {
        FrameSupport::SelectNamed(Frame(), QStringLiteral("Documents/Text Files"), title);
    }

    // A new file in "Documents/Text Files" at this location, highlighted in the list; its id.
    double AddAndSelect(const QString& title, const QString& url)
    {
        const double id = AddLibraryFile(title, {kText}, {url});
        SelectFile(title);
        return id;
    }

    // Runs Properties with the sheet answered by `drive`, which ends it; the sheet's result.
    int RunSheet(const std::function<void(CFilePropertySheet&)>& drive)
    {
        int result = -1;
        CModalRun::QueueHandler([&](QDialog& shown) {
            auto& sheet = static_cast<CFilePropertySheet&>(shown);
            drive(sheet);
            result = sheet.result();
            return result;
        });
        Frame().RunCommand(Command::Properties);
        return result;
    }
};

} // namespace FileSheetSupport

#include "adding/addfiles/BrowseForDirectory.h"

#include "controls/CFileChooser.h"
#include "controls/CMessageBox.h"
#include "files/PathUtils.h"
#include "files/SafeFormat.h"

bool BrowseForDirectory(QWidget* owner, QString& path, const QString& title)
{
    QString start = path;
    if (start.size() > 1)
        RemoveTrailingSlash(start);
    const QString chosen = CFileChooser::GetExistingDirectory(owner, title, start);
    if (chosen.isEmpty())
        return false;
    const QString full = GetFullPathName(chosen);
    // Area records and every path field of the program hold at most 259 bytes.
    if (full.toUtf8().size() >= kMaxPathBuffer) {
        CMessageBox::Show(owner,
                          SafeFormat(u"The path of the folder \"%s\" is longer than 259 characters and cannot "
                                     u"be used.",
                                     ElideStoredText(full)),
                          QString(), QMessageBox::Warning);
        return false;
    }
    path = full;
    return true;
}

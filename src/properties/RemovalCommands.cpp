#include "properties/RemovalCommands.h"

#include "controls/CMessageBox.h"
#include "controls/CommandHost.h"
#include "controls/CTreeItem.h"
#include "controls/CWaitCursor.h"
#include "properties/CFileRemover.h"

namespace {

void RunRemovalCommand(CommandHost& host, CFileRemover::Kind kind)
{
    using Kind = CFileRemover::Kind;
    const QString question =
        kind == Kind::Delete
            ? CFileRemover::tr("Are you sure you want to delete the selected item(s)?")
            : CFileRemover::tr("Are you sure you want to remove the selected item(s) from this file area?");
    if (CMessageBox::Show(host.GetWindow(), question, CFileRemover::tr("Question"), QMessageBox::Question,
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    CWaitCursor wait;
    const CFolderTreeItem* node = host.GetSelectedTreeItem();
    const quint32 type = node ? node->GetType() : 0;
    const bool filesOfNode =
        kind == Kind::Delete ? type == kNodeArea || type == kNodeSearchResults : type == kNodeArea;
    if (filesOfNode && host.GetFileCursor()) {
        // A refill half way through would show files the walk is about to take; the one refresh
        // below shows the end.
        const CRefreshHold hold(host);
        CFileRemover remover(host.GetWindow(), *host.GetFileCursor(), host.GetSelectedRows(), kind);
        remover.Run(double(node->GetAreaId()));
    }
    host.PostRefresh();
}

} // namespace

void RunDeleteFileCommand(CommandHost& host)
{
    RunRemovalCommand(host, CFileRemover::Kind::Delete);
}

void RunRemoveFromAreaCommand(CommandHost& host)
{
    RunRemovalCommand(host, CFileRemover::Kind::Remove);
}

#include "explorer/CommandRules.h"

#include "controls/CTreeItem.h"

bool IsCommandEnabled(Command command, const CommandContext& c)
{
    const bool anyNode = c.nodeType == kNodeRoot || c.nodeType == kNodeGroup || c.nodeType == kNodeArea
                         || c.nodeType == kNodeSearchResults;
    const bool filesShown = c.nodeType == kNodeArea || c.nodeType == kNodeSearchResults;
    switch (command) {
    case Command::Open:
        return anyNode && c.selectedEntries == 1;
    case Command::OpenAsHtml:
        return filesShown && c.httpServerSet && c.selectedEntries == 1;
    case Command::VirusCheck:
        return c.virusCheckerSet && filesShown && c.selectedEntries >= 1;
    case Command::Properties:
        return c.listHasFocus && c.selectedEntries == 1;
    case Command::DeleteFile:
        return c.listHasFocus && filesShown && c.selectedEntries >= 1;
    case Command::RemoveFromArea:
        return c.nodeType == kNodeArea && c.selectedEntries >= 1;
    case Command::Up:
        return c.nodeType == kNodeGroup || filesShown;
    case Command::Pagewright:
        return c.pagewrightFound;
    case Command::TreeProperties:
        return c.nodeType == kNodeGroup || c.nodeType == kNodeArea;
    case Command::ScanForNewFiles:
    case Command::ScanForNewReviews:
    case Command::Close:
    case Command::New:
    case Command::AddMultiple:
    case Command::FindFiles:
    case Command::ToolBar:
    case Command::StatusBar:
    case Command::LargeIcons:
    case Command::SmallIcons:
    case Command::List:
    case Command::Details:
    case Command::Refresh:
    case Command::HelpTopics:
    case Command::AdminGuide:
    case Command::About:
        return true;
    }
    return false;
}

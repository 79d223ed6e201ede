#pragma once

#include <QtGlobal>

// The frame's commands.
enum class Command {
    Open,
    OpenAsHtml,
    ScanForNewFiles,
    ScanForNewReviews,
    VirusCheck,
    Properties,
    Close,
    New,
    AddMultiple,
    DeleteFile,
    RemoveFromArea,
    FindFiles,
    ToolBar,
    StatusBar,
    LargeIcons,
    SmallIcons,
    List,
    Details,
    Refresh,
    Up,
    Pagewright,
    HelpTopics,
    AdminGuide,
    About,
    TreeProperties,
};

// What the enable rules look at.
struct CommandContext
{
    quint32 nodeType = 0; // type of the selected tree node, 0 when none
    int selectedEntries = 0;
    bool listHasFocus = false;
    bool httpServerSet = false;   // the HttpServer setting reads
    bool virusCheckerSet = false; // the VirusChecker setting is not empty
    bool pagewrightFound = false; // the page generator is on the search path
};

// Whether a command may run now (menus grey it and its key does nothing otherwise).
bool IsCommandEnabled(Command command, const CommandContext& context);

#pragma once

#include <QIcon>

// The program's pictures: the desktop's icon theme where it has one, else drawn here or taken from
// the widget style, so the program looks right on any desktop and works without a theme.
enum class ExplorerIcon {
    ClosedFolder,
    OpenFolder,
    Search,
    SearchSelected,
    File,
    Program,
    Up,
    New,
    Delete,
    Properties,
    Find,
    LargeIcons,
    SmallIcons,
    List,
    Details,
    Pagewright,
    Help,
};

QIcon LoadExplorerIcon(ExplorerIcon icon);

#pragma once

// Shift+F10 opens the pop-up menu of the control with the focus, as the Menu key does. Installed
// once for the whole program; later calls do nothing.
void InstallContextMenuKey();

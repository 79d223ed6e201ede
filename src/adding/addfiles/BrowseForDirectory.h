#pragma once

#include <QString>

class QWidget;

// Lets the user choose a folder, starting at path. True with the chosen folder's full path (at most
// 259 bytes) in path; false, path unchanged, when the user cancels.
bool BrowseForDirectory(QWidget* owner, QString& path, const QString& title);

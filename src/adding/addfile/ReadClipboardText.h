#pragma once

#include <QString>

// The clipboard's plain text up to its first NUL, or an empty text when it holds none.
QString ReadClipboardText();

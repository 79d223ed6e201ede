#pragma once

#include <QByteArray>

// The names the explorer gives its own temporary files in the site's directories: a copy or a
// replacement is written under one and renamed into place when complete, and a crash can leave it
// behind. Each begins with "." (the site's listings skip it) and ends in ".troveport-", an optional
// "copy-" and a random base-36 number; nothing under such a name is ever anyone's file to publish.

// A new name for a copy's temporary file: ".troveport-copy-<random>".
QByteArray TemporaryCopyName();

// A new name for the temporary file of a replacement of name: "." + its first 64 bytes +
// ".troveport-<random>".
QByteArray TemporaryReplacementName(const QByteArray& name);

// True for a name of either form.
bool IsTemporaryName(const QByteArray& name);

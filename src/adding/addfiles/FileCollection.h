#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Finding the files the Add Files wizard imports. The directories are walked through the file
// layer (files/SafeFiles.h), one name at a time and never through a link, so each directory is
// entered once, whatever links or mounts lead back into it.

struct CollectedFiles
{
    QStringList files;
    // A results line (ending in CR LF) for everything that could not be taken: a directory that
    // cannot be entered, a link in an area. The import's results begin with them.
    QString refusals;
};

// Called with each directory before it is entered; false stops the collection there.
using CollectionStep = std::function<bool(const QString& directory)>;

// Appends the files that the directory text names: every file of a directory, or the files that
// match a wildcard pattern in its last part (fnmatch, case-sensitively), in name order. With
// subdirectories, every file of every subdirectory too (whatever the pattern). Never taken: names
// beginning with ".", the explorer's own temporary files and, directly in the directory of an area
// that accepts uploads, pending uploads with their description files. A symbolic link is never
// taken nor entered, but listed in the refusals: in an area as the file layer refuses it. False
// only when the text cannot be made a full path.
bool CollectFiles(const QString& directory, bool includeSubdirectories, CollectedFiles& found,
                  const CollectionStep& beforeDirectory = {});

// What the Add Files wizard says when CollectFiles cannot make the directory text a full path, and
// when it found nothing at all (neither files nor refusals) to import.
QString NoValidDirectoryMessage();
QString NoFilesFoundMessage();

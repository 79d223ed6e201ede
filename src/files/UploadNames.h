#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>

// How a visitor's upload and its description file name each other: "notes.zip" waits beside
// "notes.zip.desc".

bool IsDescriptionName(const QByteArray& name);

// The upload a description file stands beside.
QByteArray UploadNameOf(const QByteArray& descriptionName);
// The description file that would stand beside an upload of this name.
QByteArray DescriptionNameOf(const QByteArray& uploadName);

// Of the names in an upload area's directory, those a scan takes for pending uploads: every
// description file ("*.desc") and the upload named after it. They reach the library only through
// the scan's review and virus check.
QSet<QByteArray> PendingUploadNames(const QList<QByteArray>& names);

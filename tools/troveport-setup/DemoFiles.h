#pragma once

#include <QString>

// Adds the demonstration library's files: archives with FILE_ID.DIZ descriptions kept in the
// areas that host local files, and files elsewhere on the web for the area that hosts none.
// areasDirectory holds one directory per area, named as the demonstration names them. Some files
// get published reviews in the web root's reviews directory (webRoot ends in "/").
bool AddDemoFiles(const QString& areasDirectory, const QString& webRoot, QString* error);

// Adds uploads that wait to be posted, each with its description file: one a zip archive whose
// descriptions come from its FILE_ID.DIZ, in the demonstration's upload areas.
bool AddDemoUploads(const QString& areasDirectory, QString* error);

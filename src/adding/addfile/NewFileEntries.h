#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The Add File wizard's new file as its pages take it when they are left, trimmed where they trim:
// what Finish stores.
struct NewFileEntries
{
    // The Title page's.
    QString title;
    QList<double> areaIds; // in the order chosen
    // The Details page's.
    QString version;
    quint32 fileDate = 0; // seconds since 1970: 12:00 UTC of the day shown
    quint32 fileSize = 0;
    bool requiresForm = false;
    QString authorName;
    QString email;
    // The Description page's; the detailed text with line feeds.
    QString brief;
    QString detailed;
    // The URL page's, in the order shown.
    QStringList locations;
};

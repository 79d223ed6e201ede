#pragma once

#include <QHash>
#include <QString>
#include <QStringView>

// A file submission as the web site formats it for the administrator to copy: lines of
// key=value, an empty line, then the file's detailed description.
class CClipboardSubmission
{
public:
    // True when the text holds the markers "Title=", "SiteName1=" and "SiteUrl1=" in any case.
    static bool IsSubmission(QStringView text);

    // Empties the values and the body, then fills them from the text.
    void Parse(QStringView text);
    // The value of a key (compared exactly), or an empty string.
    QString GetValue(const QString& key) const;
    QString GetBody() const { return m_body; }

private:
    QHash<QString, QString> m_values;
    QString m_body;
};

// The month, day and year that text holds in the pattern's layout ("mm/dd/yy"); true when they
// form a valid date.
bool ParseDateText(const QString& text, const QString& pattern, int* month, int* day, int* year);

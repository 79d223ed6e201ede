#include "database/SearchStatement.h"

#include "startup/SafeFormat.h"

QString BuildSearchStatement(const QString& text, quint32 fields)
{
    static const char* const kColumns[] = {"files.title",     "files.short_desc", "files.long_desc",
                                           "files.upld_name", "files.upld_email", "download.url"};
    if (text.isEmpty())
        return QString();
    QString statement = QStringLiteral("select distinctrow files.* from files");
    if (fields & kSearchUrl)
        statement += QStringLiteral(" inner join download on files.file_id = download.file_id");
    QString condition = QStringLiteral(" where");
    bool first = true;
    for (int bit = 0; bit < 6; ++bit) {
        if (!(fields & (1u << bit)))
            continue;
        if (!first)
            condition += QStringLiteral(" or");
        first = false;
        condition += SafeFormat(u" %s like '%%%s%%'", kColumns[bit], text);
    }
    if (first)
        return QString();
    return statement + condition + QStringLiteral(" order by files.TITLE");
}

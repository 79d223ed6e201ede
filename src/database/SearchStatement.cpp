#include "database/SearchStatement.h"

#include "files/SafeFormat.h"

QString BuildSearchStatement(const QString& text, quint32 fields)
{
    static const char* const kColumns[] = {"files.title",     "files.short_desc", "files.long_desc",
                                           "files.upld_name", "files.upld_email", "download.url"};
    // The text goes into string literals: a quote is doubled, so that it is searched for instead of
    // ending the literal (and letting the rest of the text run as part of the statement). A NUL
    // would end the statement's text early.
    QString literal = text;
    literal.remove(QChar(0)).replace(QLatin1Char('\''), QLatin1String("''"));
    if (literal.isEmpty())
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
        condition += SafeFormat(u" %s like '%%%s%%'", kColumns[bit], literal);
    }
    if (first)
        return QString();
    return statement + condition + QStringLiteral(" order by files.TITLE");
}

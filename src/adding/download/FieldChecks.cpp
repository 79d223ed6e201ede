#include "adding/download/FieldChecks.h"

#include <QUrl>

bool IsValidDownloadURL(const QString& text)
{
    // Strict parsing: a space or a stray character anywhere makes the address unusable for the
    // site, so it is refused here rather than repaired.
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme();
    return scheme.compare(QLatin1String("ftp"), Qt::CaseInsensitive) == 0 ||
           scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 ||
           scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

EmailFault FindEmailFault(QStringView address)
{
    static constexpr QStringView kIllegal = u"!() /<>,;:\\[]";
    for (const QChar c : address) {
        if (kIllegal.contains(c))
            return EmailFault::IllegalCharacters;
    }
    if (address.isEmpty() || address.contains(u'@'))
        return EmailFault::None;
    return EmailFault::NoAtSign;
}

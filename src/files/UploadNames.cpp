#include "files/UploadNames.h"

namespace {

const QByteArray kDescriptionExtension = QByteArrayLiteral(".desc");

} // namespace

bool IsDescriptionName(const QByteArray& name)
{
    return name.endsWith(kDescriptionExtension);
}

QByteArray UploadNameOf(const QByteArray& descriptionName)
{
    return descriptionName.chopped(kDescriptionExtension.size());
}

QByteArray DescriptionNameOf(const QByteArray& uploadName)
{
    return uploadName + kDescriptionExtension;
}

QSet<QByteArray> PendingUploadNames(const QList<QByteArray>& names)
{
    QSet<QByteArray> pending;
    for (const QByteArray& name : names) {
        if (IsDescriptionName(name)) {
            pending.insert(name);
            pending.insert(UploadNameOf(name));
        }
    }
    return pending;
}

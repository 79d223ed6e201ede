#include "settings/CGroupFile.h"

#include <QFileInfo>
#include <QtEndian>

quint32 CGroupFile::GetAreaId(quint32 index) const
{
    if (!GetData() || index >= GetRecordCount())
        return 0;
    return qFromLittleEndian<quint32>(GetData() + size_t(index) * 4);
}

QString CGroupFile::GroupNameFromFileName(const QString& fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

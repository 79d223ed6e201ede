#include "files/TemporaryName.h"

#include <QRandomGenerator>

#include <algorithm>

namespace {

constexpr char kMark[] = ".troveport-";
constexpr char kCopy[] = "copy-";

QByteArray RandomNumber()
{
    return QByteArray::number(QRandomGenerator::global()->generate64(), 36);
}

} // namespace

QByteArray TemporaryCopyName()
{
    return kMark + (kCopy + RandomNumber());
}

QByteArray TemporaryReplacementName(const QByteArray& name)
{
    return "." + name.left(64) + kMark + RandomNumber();
}

bool IsTemporaryName(const QByteArray& name)
{
    const qsizetype mark = name.lastIndexOf(kMark);
    if (!name.startsWith('.') || mark < 0)
        return false;
    QByteArray number = name.mid(mark + qsizetype(sizeof kMark) - 1);
    if (number.startsWith(kCopy))
        number = number.mid(qsizetype(sizeof kCopy) - 1);
    return !number.isEmpty() &&
           std::all_of(number.cbegin(), number.cend(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

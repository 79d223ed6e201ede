#include "files/FileMode.h"

#include <QByteArray>
#include <QFile>

#include <sys/stat.h>

namespace {

// The umask as /proc tells it, without changing it; -1 where the system does not tell.
int UmaskFromProc()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("Umask:")) {
            bool ok = false;
            const int mask = line.mid(6).trimmed().toInt(&ok, 8);
            return ok ? mask : -1;
        }
    }
    return -1;
}

} // namespace

mode_t DefaultFileMode()
{
    int mask = UmaskFromProc();
    if (mask < 0) {
        // Setting it is the only other way to read it; it is put back at once.
        mask = int(::umask(022));
        ::umask(mode_t(mask));
    }
    return mode_t(0666 & ~mask);
}

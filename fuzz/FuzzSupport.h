#pragma once

// What the fuzz targets share: the input as a file, as text, and a stop on a broken promise.

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace FuzzSupport {

// A directory of this process's own, made once, for readers that take a path.
inline const QString& WorkDirectory()
{
    static const QString dir = [] {
        const QString path = QDir::tempPath() + QStringLiteral("/troveport-fuzz-%1").arg(::getpid());
        QDir().mkpath(path);
        return path;
    }();
    return dir;
}

// Writes the input to a file of that name in the work directory; its path.
inline QString InputFile(const uint8_t* data, size_t size, const QString& name = QStringLiteral("input"))
{
    const QString path = WorkDirectory() + u'/' + name;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    return path;
}

inline QByteArray Bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// A promise of the code under test that does not hold: reported as a crash, so the fuzzer keeps
// the input.
#define FUZZ_CHECK(condition)                                                                                \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);               \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)

// Some readers use Qt's application-wide services (plugins, the temporary directory). The
// application is never destroyed: at exit it would outlive the database connections it cleans up.
inline void StartApplication()
{
    static int argc = 1;
    static char name[] = "troveport-fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    (void)app;
}

} // namespace FuzzSupport

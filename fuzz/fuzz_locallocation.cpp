// Local download locations, which the web site stores: reading, forming, resolving and opening in
// an area.

#include "adding/download/LocalLocation.h"
#include "FuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// An area with a file, a subdirectory and links out of it for the locations to find.
const QString& AreaDirectory()
{
    static const QString directory = [] {
        const QString path = FuzzSupport::WorkDirectory() + QStringLiteral("/area");
        QDir().mkpath(path + QStringLiteral("/sub"));
        for (const char* name : {"/pkg.zip", "/sub/deep.zip"}) {
            QFile file(path + QLatin1String(name));
            if (file.open(QIODevice::WriteOnly))
                file.write("x");
        }
        QFile::link(FuzzSupport::WorkDirectory(), path + QStringLiteral("/up"));
        QFile::link(path + QStringLiteral("/pkg.zip"), path + QStringLiteral("/alias.zip"));
        return path;
    }();
    return directory;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(FuzzSupport::Bytes(data, size));
    if (const auto location = ParseLocalLocation(text)) {
        FUZZ_CHECK(!location->relativePath.contains(u'\\'));
        const QString& directory = AreaDirectory();
        const LocalFile file = ResolveInDirectory(directory, location->relativePath);
        // A file the program may touch lies inside the area's directory.
        if (file.status == LocalFile::Status::Inside) {
            FUZZ_CHECK(IsPlainRelativePath(location->relativePath));
            FUZZ_CHECK(QFileInfo(file.path).absoluteFilePath().startsWith(directory + u'/'));
        }
        // So does a file the file layer opens there: where its descriptor leads is asked of the
        // system, not of the path.
        const CSafeFile opened = OpenInArea(directory, location->relativePath);
        if (opened.IsOpen()) {
            const QString reached =
                QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(opened.Fd())).symLinkTarget();
            FUZZ_CHECK(reached.startsWith(QFileInfo(directory).canonicalFilePath() + u'/'));
        }
        if (location->areaId >= 1 && location->areaId <= 4294967295.0) {
            const auto again = ParseLocalLocation(FormLocalLocation(quint32(location->areaId), location->relativePath));
            FUZZ_CHECK(again && again->areaId == location->areaId && again->relativePath == location->relativePath);
        }
    }
    ParseLocalLocationLeniently(text);
    return 0;
}

// Local download locations, which the web site stores: reading, forming and resolving in an area.

#include "adding/LocalLocation.h"
#include "FuzzSupport.h"

#include <QFileInfo>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(FuzzSupport::Bytes(data, size));
    if (const auto location = ParseLocalLocation(text)) {
        FUZZ_CHECK(!location->relativePath.contains(u'\\'));
        const QString directory = FuzzSupport::WorkDirectory();
        const LocalFile file = ResolveInDirectory(directory, location->relativePath);
        // A file the program may touch lies inside the area's directory.
        if (file.status == LocalFile::Status::Inside)
            FUZZ_CHECK(QFileInfo(file.path).absoluteFilePath().startsWith(directory + u'/'));
        if (location->areaId >= 1 && location->areaId <= 4294967295.0) {
            const auto again = ParseLocalLocation(FormLocalLocation(quint32(location->areaId), location->relativePath));
            FUZZ_CHECK(again && again->areaId == location->areaId && again->relativePath == location->relativePath);
        }
    }
    ParseLocalLocationLeniently(text);
    return 0;
}

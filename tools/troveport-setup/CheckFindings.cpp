#include "CheckFindings.h"

#include <tuple>

namespace {

const struct
{
    const char* name;
    const char* heading;
} kKinds[kFindingKinds] = {
    {"missing-file", "Missing files"},
    {"not-regular", "Locations that are not regular files"},
    {"outside-area", "Locations outside their area"},
    {"size-mismatch", "Files whose size differs from the record"},
    {"unreadable-file", "Files that could not be examined"},
    {"unknown-area-location", "Locations in areas the table does not have"},
    {"orphan-file", "Files in areas that no location names"},
    {"area-unreadable", "Area directories that cannot be read"},
    {"no-area", "Records in no area"},
    {"unknown-area-link", "Links to areas the table does not have"},
    {"bad-location", "Locations that are not valid"},
    {"changed", "Files changed since the last check"},
    {"duplicate-content", "Files with the same content"},
};

} // namespace

QString KindName(FindingKind kind)
{
    return QString::fromLatin1(kKinds[int(kind)].name);
}

QString KindHeading(FindingKind kind)
{
    return QString::fromLatin1(kKinds[int(kind)].heading);
}

bool FindingBefore(const Finding& a, const Finding& b)
{
    return std::tie(a.kind, a.fileId, a.url, a.areaId, a.path) < std::tie(b.kind, b.fileId, b.url, b.areaId, b.path);
}

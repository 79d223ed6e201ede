// Upload description files, which visitors write: any bytes parse within the field limits.

#include "files/SiteTextLines.h"
#include "FuzzSupport.h"
#include "uploads/UploadScan.h"

namespace {

int CodePoints(const QString& text)
{
    return int(text.toUcs4().size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CPendingUpload upload;
    ParseUploadDescription(SplitSiteTextLines(FuzzSupport::Bytes(data, size), kUploadLinePieceBytes), upload);
    FUZZ_CHECK(CodePoints(upload.file_name) <= CPendingUpload::kFileNameLength);
    FUZZ_CHECK(CodePoints(upload.title) <= CPendingUpload::kTitleLength);
    FUZZ_CHECK(CodePoints(upload.version) <= CPendingUpload::kVersionLength);
    FUZZ_CHECK(CodePoints(upload.short_desc) <= CPendingUpload::kShortDescLength);
    FUZZ_CHECK(CodePoints(upload.company) <= CPendingUpload::kCompanyLength);
    FUZZ_CHECK(CodePoints(upload.email) <= CPendingUpload::kEmailLength);
    FUZZ_CHECK(upload.long_desc.size() < CPendingUpload::kLongDescLength);

    // A name that is accepted reaches nothing but the file beside its description.
    if (CheckUploadFileName(QByteArrayLiteral("upload.zip"), upload.file_name).isEmpty())
        FUZZ_CHECK(upload.file_name.isEmpty() || upload.file_name == QLatin1String("upload.zip"));
    return 0;
}

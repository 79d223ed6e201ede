// Descriptions taken from zip archives: any file, within the buffers' sizes.

#include "adding/DescriptionExtraction.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QString brief, detailed;
    ExtractDescriptions(FuzzSupport::InputFile(data, size, QStringLiteral("input.zip")), brief, 60, detailed, 65535);
    FUZZ_CHECK(brief.toUtf8().size() < 60);
    FUZZ_CHECK(detailed.toUtf8().size() < 65535);
    return 0;
}

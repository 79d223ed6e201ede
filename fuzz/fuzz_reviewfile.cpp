// Review files, which the site and the explorer share: any file reads, and what is read is written
// and read back the same.

#include "FuzzSupport.h"
#include "reviews/ReviewFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QList<CReview> reviews;
    ReadReviewFile(FuzzSupport::InputFile(data, size), reviews);
    const QString copy = FuzzSupport::WorkDirectory() + QStringLiteral("/copy.txt");
    FUZZ_CHECK(WriteReviewFile(copy, reviews));
    QList<CReview> again;
    ReadReviewFile(copy, again);
    FUZZ_CHECK(again.size() == reviews.size());
    return 0;
}

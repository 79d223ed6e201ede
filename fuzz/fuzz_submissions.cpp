// The submissions file: any file reads, and taking one submission out keeps every other record.

#include "FuzzSupport.h"
#include "reviews/Submissions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = FuzzSupport::InputFile(data, size, QStringLiteral("submissions.txt"));
    QList<CSubmission> before;
    ReadSubmissions(path, before);
    if (before.isEmpty())
        return 0;
    const CSubmission first = before.takeFirst();
    FUZZ_CHECK(RemoveSubmissions(path, {first}));
    QList<CSubmission> after;
    ReadSubmissions(path, after);
    FUZZ_CHECK(after == before);
    return 0;
}

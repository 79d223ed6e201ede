// The submissions file: any file reads, and taking one submission out keeps every other byte.

#include "FuzzSupport.h"
#include "reviews/Submissions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = FuzzSupport::Bytes(data, size);
    const QString path = FuzzSupport::InputFile(data, size, QStringLiteral("submissions.txt"));
    QList<CSubmission> before;
    FUZZ_CHECK(ReadSubmissions(path, before));
    if (before.isEmpty())
        return 0;
    const CSubmission first = before.takeFirst();
    FUZZ_CHECK(RemoveSubmissions(path, {first}));
    // The first record is gone, and not a byte more.
    const SiteRecords::Record taken = SplitRecords(input, true).records.first();
    QFile file(path);
    FUZZ_CHECK(!file.exists() || file.open(QIODevice::ReadOnly));
    FUZZ_CHECK(file.readAll() == QByteArray(input).remove(taken.start, taken.end - taken.start));
    QList<CSubmission> after;
    FUZZ_CHECK(ReadSubmissions(path, after));
    FUZZ_CHECK(after == before);
    return 0;
}

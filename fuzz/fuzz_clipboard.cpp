// Clipboard file submissions and their dates: any text.

#include "adding/addfile/AddFileSource.h"
#include "adding/addfile/CClipboardSubmission.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(FuzzSupport::Bytes(data, size));
    CClipboardSubmission::IsSubmission(text);
    CClipboardSubmission submission;
    submission.Parse(text);
    if (const auto date = ReadSubmissionDate(submission.GetValue(QStringLiteral("Date"))))
        FUZZ_CHECK(IsValidDate(*date));
    ReadSubmissionLocations(submission);
    ReadByteCount(submission.GetValue(QStringLiteral("Size")));
    ReadRequiresForm(submission.GetValue(QStringLiteral("ReqForm")));
    int month = 0, day = 0, year = 0;
    const qsizetype split = text.indexOf(u'\n');
    if (ParseDateText(text.left(split), split < 0 ? QStringLiteral("mm/dd/yy") : text.mid(split + 1), &month, &day,
                      &year))
        FUZZ_CHECK(month >= 1 && month <= 12 && day >= 1 && day <= 31);
    return 0;
}

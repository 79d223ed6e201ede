// The date edit's reading of typed text, in any layout a locale's format gives.

#include "controls/DateEditLogic.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(FuzzSupport::Bytes(data, size));
    const qsizetype split = text.indexOf(u'\n');
    const DateLayout layout = DateLayoutFromFormat(split < 0 ? QStringLiteral("M/d/yy") : text.left(split));
    const QString typed = split < 0 ? text : text.mid(split + 1);
    const CalendarDate stored{2001, 2, 3};
    const CalendarDate read = ReadDateText(typed, layout, stored);
    FUZZ_CHECK(IsValidDate(read));
    const QString shown = FormatDateText(read, layout);
    for (int field = 0; field < 3; ++field) {
        const TextSpan span = FieldSpanInText(shown, layout, field);
        FUZZ_CHECK(span.start >= 0 && span.start + span.length <= shown.size());
        StepDateField(read, field, 1);
    }
    FieldAtPosition(typed, layout, int(typed.size() / 2));
    return 0;
}

// The area table and group files: any file opens or is refused, and every record reads within it.

#include "FuzzSupport.h"
#include "settings/CFileAreaTable.h"
#include "settings/CGroupFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = FuzzSupport::InputFile(data, size);
    CFileAreaTable table;
    if (table.Open(path)) {
        for (quint32 i = 0; i < table.GetRecordCount(); ++i) {
            const FileAreaRecord* record = table.GetRecord(i);
            FUZZ_CHECK(record);
            FUZZ_CHECK(record->Name().size() <= FileAreaRecord::kNameSize);
            record->Path();
            record->FtpAlias();
            record->HttpAlias();
            const FileAreaRecord* found = table.FindArea(record->AreaId());
            FUZZ_CHECK(i == 0 || (found && found->AreaId() == record->AreaId()));
        }
        FUZZ_CHECK(!table.GetRecord(table.GetRecordCount()));
        table.RecordsWithFlag(kAreaAllowUploads);
        table.Close();
    }
    CGroupFile group;
    if (group.Open(path)) {
        quint64 sum = 0;
        for (quint32 i = 0; i < group.GetRecordCount(); ++i)
            sum += group.GetAreaId(i);
        FUZZ_CHECK(group.GetRecordCount() == size / 4);
        (void)sum;
        group.Close();
    }
    return 0;
}

// Settings files: any bytes parse, are written back unchanged, and a value set reads back.

#include "FuzzSupport.h"
#include "settings/CRegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray text = FuzzSupport::Bytes(data, size);
    CRegFile file;
    file.Parse(text);
    FUZZ_CHECK(file.Serialize() == text);
    const QString section = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Troveport\\Explorer");
    file.Find(section, QStringLiteral("DatabasePath"));
    file.Find(QStringLiteral("HKEY_CURRENT_USER\\Software\\Troveport\\Explorer"), QStringLiteral("Window Position"));

    const QByteArray dword("\x2a\x00\x00\x00", 4);
    file.Set(section, QStringLiteral("VirusExitCode"), CRegFile::ValueType::Dword, dword);
    CRegFile reread;
    reread.Parse(file.Serialize());
    const auto value = reread.Find(section, QStringLiteral("VirusExitCode"));
    FUZZ_CHECK(value && value->type == CRegFile::ValueType::Dword && value->data == dword);
    return 0;
}

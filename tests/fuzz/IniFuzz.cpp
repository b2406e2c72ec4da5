// Settings files: a read, a write and a second read must agree, and a value set is read back.
#include "settings/IniFile.h"
#include "tests/fuzz/FuzzSupport.h"

std::vector<std::string> tavrel::fuzz::Seeds() {
    return {};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using tavrel::CIniFile;
    using tavrel::fuzz::Fail;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CIniFile ini = CIniFile::Parse(text);
    const std::string written = ini.Text();
    if (CIniFile::Parse(written).Text() != written) Fail("read-write-read changes the text");
    if (ini.Set("Fuzz Section", "Key", "a value")) {
        const CIniFile again = CIniFile::Parse(ini.Text());
        if (again.Get("fuzz section", "key") != "a value") Fail("a value set is not read back");
    }
    return 0;
}

// Fuzzes the settings file reader with setting.xml files of any content. Whatever a file held,
// settings that were read are written back and must read again to the same sections.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/common/FuzzSandbox.h"
#include "services/SSetting.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const std::string path = (fuzz_support::sandbox() / "setting.xml").string();
    fuzz_support::writeFile(path, data, size);
    SSetting settings;
    if (!settings.Load(path, 0)) {
        return 0;
    }
    settings.AddSettingChild("Update");
    if (!settings.Save()) {
        __builtin_trap();
    }
    SSetting again;
    if (!again.Load(path, 0) || again.GetSettingChild("Update") == nullptr) {
        __builtin_trap();
    }
    return 0;
}

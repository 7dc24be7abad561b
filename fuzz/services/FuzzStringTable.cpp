// Fuzzes the string tables: the input is the en-US table (res/strings/en-US.json) as found on
// disk. Looking up keys and filling a text's placeholders must work whatever the table holds.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/common/FuzzSandbox.h"
#include "services/SLocale.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const std::filesystem::path folder = [] {
        const std::filesystem::path strings = fuzz_support::sandbox() / "strings";
        std::filesystem::create_directories(strings);
        return strings;
    }();
    fuzz_support::writeFile(folder / "en-US.json", data, size);
    SLocale locale;
    locale.SetResourceFolder(folder);
    locale.SetLocale("en-US");
    const std::string_view args[] = {"one", "%2", ""};
    for (const char* key : {"MNU_Abort", "", "a", "MNU_Connect"}) {
        const std::string text = locale.GetString(key);
        SLocale::Format(text, args);
    }
    // The input as a text with placeholders.
    SLocale::Format(std::string_view(reinterpret_cast<const char*>(data), size), args);
    return 0;
}

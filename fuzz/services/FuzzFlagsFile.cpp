// Fuzzes the reader of the persisted flags file (flags.json in the user folder): any content
// gives each flag a value, the default when the file does not say.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>

#include "fuzz/common/FuzzSandbox.h"
#include "services/EnvironVar.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const std::filesystem::path folder = [] {
        const std::filesystem::path user = fuzz_support::sandbox() / "user";
        std::filesystem::create_directories(user);
        ::setenv("AURALIS_CONFIG_DIR", user.c_str(), 1);
        return user;
    }();
    fuzz_support::writeFile(folder / "flags.json", data, size);
    EnvironVar::Reload();
    EnvironVar::GetIsNotifyUpdate();
    EnvironVar::GetIsNotifyUpdateFW();
    EnvironVar::GetUpdateFWStatus();
    EnvironVar::GetLastTimeUpdateFW();
    EnvironVar::IsSupportGuest();
    EnvironVar::IsSupportMultiPopup();
    return 0;
}

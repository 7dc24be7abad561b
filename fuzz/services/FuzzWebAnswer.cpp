// Fuzzes the parsers of the update server's answers. Byte 0 chooses the answer (bit 0: the
// application's, else the firmware's); the rest is the body as it arrived. A parse either fails
// or fills the answer; either way nothing reads or writes outside the body.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/common/FuzzSandbox.h"
#include "services/WebApiAnswer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz_support::sandbox();
    if (size == 0) {
        return 0;
    }
    const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
    if ((data[0] & 1) != 0) {
        WEBAPI_TESSEL_VERSION answer{};
        WebApiAnswer::ParseTesselVersion(body, answer);
    } else {
        WEBAPI_FIRMWARE_VERSION answer{};
        WebApiAnswer::ParseFirmwareVersion(body, answer);
    }
    return 0;
}

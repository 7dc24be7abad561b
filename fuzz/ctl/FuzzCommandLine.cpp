// Fuzzes auralis-ctl's command line: the input, cut at line breaks, is the argument list. It
// always begins with --help, so the whole list is parsed and checked but no command ever runs
// (no Bluetooth, no files written); the answer is usage help or a usage error.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "ctl/CtlApp.h"
#include "fuzz/common/FuzzSandbox.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz_support::sandbox();
    std::vector<std::string> args{"--help"};
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') {
            args.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    args.push_back(current);
    std::ostringstream out;
    std::ostringstream err;
    const int status = ctl::runCtl(args, out, err);
    if (status != 0 && status != 2) {
        __builtin_trap();
    }
    return 0;
}

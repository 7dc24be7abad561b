#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "base/Log.h"
#include "ctl/CtlApp.h"
#include "ctl/CtlLink.h"
#include "platform/bluetooth/BackendFactory.h"

int main(int argc, char** argv) {
    base::log::installFatalSignalFlush();
    // The commands' links get the backend their --backend option (or $AURALIS_BACKEND) names.
    ctl::CtlLink::InstallBackends(
        [](const std::string& name) { return platform::bluetooth::createBackend(name); });
    std::vector<std::string> args(argv + 1, argv + argc);
    return ctl::runCtl(args, std::cout, std::cerr, ::isatty(STDOUT_FILENO) == 1);
}

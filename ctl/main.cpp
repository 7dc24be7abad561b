#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "base/Log.h"
#include "ctl/CtlApp.h"

int main(int argc, char** argv) {
    base::log::installFatalSignalFlush();
    std::vector<std::string> args(argv + 1, argv + argc);
    return ctl::runCtl(args, std::cout, std::cerr, ::isatty(STDOUT_FILENO) == 1);
}

#include "tests/ctl/RunCtl.h"

#include "platform/Paths.h"
#include "tests/common/ChildProcess.h"

namespace ctl_test {

Run runCtl(const std::vector<std::string>& args, const std::filesystem::path& cwd) {
    const std::string program = (platform::paths::executableFolder() / "auralis-ctl").string();
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    testing_support::ProgramRun run = testing_support::runProgram(argv, {.workingFolder = cwd});
    if (run.exitCode < 0 && !run.timedOut) {
        run.err = "cannot start " + program;
    }
    return {.exitCode = run.exitCode, .out = std::move(run.out), .err = std::move(run.err)};
}

}  // namespace ctl_test

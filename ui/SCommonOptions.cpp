#include "ui/SCommonOptions.h"

#include <cstdio>

#include "auralis/Version.h"
#include "base/Log.h"
#include "ui/SCommandLine.h"

int SCommonOptions::Apply(int argc, char** argv, const Program& program) {
    SCommandLine::Set(argc, argv);
    base::log::installFatalSignalFlush();
    std::string logLevelError;
    if (!base::log::applyLevelOption(SCommandLine::GetArguments(), &logLevelError)) {
        std::fprintf(stderr, "%s: %s\n", program.name, logLevelError.c_str());
        return 2;
    }
    if (SCommandLine::Has("--version")) {
        std::printf("%s %s\n", program.name, AURALIS_VERSION);
        return 0;
    }
    if (SCommandLine::Has("--help") || SCommandLine::Has("-h")) {
        std::fputs(program.usage, stdout);
        return 0;
    }
    if (const std::string unknown = program.firstUnknown(); !unknown.empty()) {
        std::fprintf(stderr, "%s: unknown %s %s\n%s", program.name, program.unknownKind,
                     unknown.c_str(), program.usage);
        return 2;
    }
    if (SCommandLine::Has("-v")) {
        base::log::Options options;
        options.name = program.name;
        options.toStderr = true;
        base::log::configure(options);
    }
    return -1;
}

// Every program answers --help with its usage and exit 0, and refuses an option it does not
// know with exit 2 before doing anything (no window, no files written). The main program still
// takes -v and the inspector switch anywhere; the update client still takes /v and /u.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "auralis/Version.h"
#include "platform/Paths.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/TestSandbox.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string output;
};

// Runs a built program with the arguments, no display and a headless window backend, in a
// sandbox folder; its exit status and everything it wrote.
Outcome RunProgram(const std::string& program, std::vector<std::string> args,
                   const fs::path& folder) {
    args.insert(args.begin(), (platform::paths::executableFolder() / program).string());
    testing_support::ChildProcess child(
        args, {.extraEnvironment = {"AURALIS_WINDOW_BACKEND=headless", "AURALIS_OFFLINE=1"},
               .removedEnvironment = {"DISPLAY", "WAYLAND_DISPLAY"},
               .output = folder / (fs::path(program).filename().string() + ".out"),
               .inputFromNull = true});
    Outcome outcome;
    outcome.status = child.wait(std::chrono::seconds(60)).value_or(-1);
    outcome.output = child.output();
    return outcome;
}

}  // namespace

TEST(ProgramOptionsTest, EveryProgramAnswersHelpAndRefusesAnUnknownOption) {
    const fs::path folder = testing_support::makeTempFolder("options");
    testing_support::ScopedEnv config("AURALIS_CONFIG_DIR", (folder / "config").string());
    for (const std::string program : {"AuralisManager", "AuralisManagerUpdateClient", "auralis-ctl",
                                      "auralis-sim", "auralis-appshots", "auralis-updatershots",
                                      // The build-time artwork tool sits outside bin/.
                                      "../tools/auralis-artgen"}) {
        SCOPED_TRACE(program);
        const Outcome help = RunProgram(program, {"--help"}, folder);
        EXPECT_EQ(help.status, 0);
        std::string lower = help.output;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_NE(lower.find("usage"), std::string::npos) << help.output;
        const Outcome unknown = RunProgram(program, {"--no-such-option"}, folder);
        EXPECT_EQ(unknown.status, 2) << unknown.output;
    }
    // The installed programs name themselves and this build's version.
    for (const std::string program :
         {"AuralisManager", "AuralisManagerUpdateClient", "auralis-ctl", "auralis-sim"}) {
        SCOPED_TRACE(program);
        const Outcome version = RunProgram(program, {"--version"}, folder);
        EXPECT_EQ(version.status, 0);
        EXPECT_EQ(version.output, program + " " + AURALIS_VERSION + "\n");
    }
    // The picture tools once took "--help" for their output folder.
    EXPECT_FALSE(fs::exists("--help"));
    EXPECT_FALSE(fs::exists(folder / "--help"));
}

TEST(ProgramOptionsTest, MainProgramKeepsItsSwitchesAndRefusesAnythingElse) {
    const fs::path folder = testing_support::makeTempFolder("options");
    // Unknown words anywhere among known ones are refused before a window or a lock is made.
    EXPECT_EQ(RunProgram("AuralisManager", {"-v", "/windowbasefinder", "extra"}, folder).status, 2);
    EXPECT_EQ(RunProgram("AuralisManager", {"--verbose"}, folder).status, 2);
    const Outcome help = RunProgram("AuralisManager", {"-v", "x/windowbasefinderY", "-h"}, folder);
    EXPECT_EQ(help.status, 0) << help.output;
    // The update client's own arguments pass the check; it then stops at its missing address
    // (exit 2 from its parameter check, with its own message rather than the usage).
    const Outcome client = RunProgram("AuralisManagerUpdateClient", {"-v", "/v", "1.1.0"}, folder);
    EXPECT_EQ(client.output.find("unknown option"), std::string::npos) << client.output;
    const Outcome dashValue =
        RunProgram("AuralisManagerUpdateClient", {"/v", "-1", "/u", "-x", "--bogus"}, folder);
    EXPECT_EQ(dashValue.status, 2);
    EXPECT_NE(dashValue.output.find("unknown option --bogus"), std::string::npos)
        << dashValue.output;
}

// Without a display the program must not run unseen on a driver that draws nowhere: it says so
// and ends with an error, so the next start on the desktop is not turned away by its lock.
TEST(ProgramOptionsTest, WithoutADisplayTheProgramSaysSoAndEnds) {
    const fs::path folder = testing_support::makeTempFolder("nodisplay");
    fs::create_directories(folder / "runtime");
    fs::permissions(folder / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    testing_support::ChildProcess child(
        {(platform::paths::executableFolder() / "AuralisManager").string()},
        {.extraEnvironment = {"AURALIS_WINDOW_BACKEND=sdl", "AURALIS_OFFLINE=1",
                              "AURALIS_LOG_STDERR=1",
                              "XDG_RUNTIME_DIR=" + (folder / "runtime").string()},
         .removedEnvironment = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"},
         .output = folder / "program.out",
         .inputFromNull = true});
    const std::optional<int> status = child.wait(std::chrono::seconds(20));
    ASSERT_TRUE(status.has_value()) << "still running without a display: " << child.output();
    EXPECT_NE(*status, 0);
    EXPECT_NE(child.output().find("no display"), std::string::npos) << child.output();
    EXPECT_EQ(child.output().find("Main window shown"), std::string::npos) << child.output();
}

// With --json, a command that fails ends with an object carrying "error", whatever failed: the
// command line, or Bluetooth that is not there. Without a simulator the text names the socket
// it tried.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "ctl/ProgressBar.h"
#include "tests/common/TestSandbox.h"
#include "tests/ctl/RunCtl.h"

using ctl_test::runCtl;
using nlohmann::json;

namespace {

json lastLine(const std::string& out) {
    std::istringstream lines(out);
    std::string last;
    for (std::string line; std::getline(lines, line);) {
        last = line;
    }
    return json::parse(last, nullptr, false);
}

}  // namespace

TEST(CtlJsonErrorTest, UsageErrorsEndWithAnErrorObject) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--json", "bogus"},
                                                 {"--json", "status"},
                                                 {"--json", "unpair", "not-an-address"},
                                                 {"--json", "fw", "info", "a", "b"},
                                                 // An argument that is not UTF-8 is quoted in
                                                 // the error text, which must still print.
                                                 {"--json", "Tc\xe1n", "--secmnds=x"}}) {
        SCOPED_TRACE(args.back());
        const ctl_test::Run run = runCtl(args);
        EXPECT_EQ(run.exitCode, 2);
        const json object = lastLine(run.out);
        ASSERT_TRUE(object.is_object()) << "'" << run.out << "'";
        EXPECT_FALSE(object.value("error", "").empty()) << run.out;
    }
}

TEST(CtlJsonErrorTest, WithoutTheSimulatorCommandsNameItsSocketAndEndWithAnError) {
    const std::filesystem::path socket =
        testing_support::makeTempFolder("ctlnosim") / "nothing-here.sock";
    const testing_support::ScopedEnv env("AURALIS_SIM_SOCKET", socket.string());

    ctl_test::Run run = runCtl({"--backend", "sim", "--json", "unpair", "70:5A:B6:01:4F:2A"});
    EXPECT_EQ(run.exitCode, 1);
    const json unpair = lastLine(run.out);
    EXPECT_EQ(unpair.value("unpaired", true), false) << run.out;
    EXPECT_NE(unpair.value("error", "").find(socket.string()), std::string::npos) << run.out;

    run = runCtl({"--backend", "sim", "check"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("no auralis-sim answers on " + socket.string()), std::string::npos)
        << run.err;
}

TEST(CtlJsonErrorTest, ProgressIsShownInTheUnitThatFitsThePackage) {
    EXPECT_EQ(ctl::ProgressBar::amount(100000, 100000), "97.7 KiB");
    EXPECT_EQ(ctl::ProgressBar::amount(512, 512), "512 B");
    EXPECT_EQ(ctl::ProgressBar::amount(512, 3 << 20), "0.0 MiB");
    EXPECT_EQ(ctl::ProgressBar::amount(3 << 20, 3 << 20), "3.0 MiB");
    // The whole line of a small package.
    std::ostringstream out;
    ctl::ProgressBar bar(out, "sent", 98000);
    bar.update(100, 98000);
    EXPECT_NE(out.str().find("100 %  95.7 KiB sent"), std::string::npos) << out.str();
}

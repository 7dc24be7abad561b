// What auralis-ctl tells people and scripts: status in words, a refusal explained with its
// number kept, and with --json an "error" in the last object of every failure, also when the
// user interrupts an update.

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>

#include "platform/Paths.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "tests/ctl/RunCtl.h"
#include "tests/integration/CtlAgainstSim.h"

using ctl_test::runCtl;
using integration::lastObject;
using integration::writeCtlPackage;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

const char* const kPlus = "70:5A:B6:01:4F:2A";
const char* const kFirst = "70:5A:B6:00:77:A0";

json pairs() {
    return json::array({{{"address", kPlus},
                         {"name", "Auralis+ (4F2A)"},
                         {"state", {{"batteryCase", 55}, {"colorLeft", 259}, {"colorRight", 300}}}},
                        {{"address", kFirst}, {"name", "Auralis (77A0)"}}});
}

class CtlTerminalTest : public integration::CtlAgainstSim {
protected:
    CtlTerminalTest() : CtlAgainstSim(pairs()) {}
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST_F(CtlTerminalTest, StatusIsToldInWords) {
    auto run = runCtl({"--backend", "sim", "status", kPlus});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "Status:     both earbuds connected\n")) << run.out;
    EXPECT_TRUE(contains(run.out, "Batteries:  left ")) << run.out;
    EXPECT_TRUE(contains(run.out, ", case 55 %\n")) << run.out;
    EXPECT_TRUE(contains(run.out, "Wearing:    left: in the ear, right: in the ear\n")) << run.out;
    // A named colour edition, and a code without a name kept as its number.
    EXPECT_TRUE(contains(run.out, "Colours:    left pink, right colour code 300\n")) << run.out;

    // A first-generation pair reports no case level and no colours: not a "0 %".
    run = runCtl({"--backend", "sim", "status", kFirst});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "case: not reported")) << run.out;
    EXPECT_TRUE(contains(run.out, "Colours:    not reported\n")) << run.out;
    EXPECT_FALSE(contains(run.out, "case 0 %")) << run.out;

    // One earbud in the case, the other gone: the link's words and the raw number.
    ASSERT_EQ(m_sim.ctl(std::string("WEARING ") + kPlus + " 3 0"), "OK");
    ASSERT_EQ(m_sim.ctl(std::string("SET ") + kPlus + " twsStatus=2"), "OK");
    run = runCtl({"--backend", "sim", "status", kPlus});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "only one earbud connected (TWS status 2)")) << run.out;
    EXPECT_TRUE(contains(run.out, "left: in the case, right: not connected")) << run.out;
}

TEST_F(CtlTerminalTest, WatchPrintsOnlyWholeVersionLines) {
    testing_support::ChildProcess watch;
    const std::filesystem::path log = testing_support::makeTempFolder("ctlwatch") / "watch.txt";
    ASSERT_TRUE(watch.start({(platform::paths::executableFolder() / "auralis-ctl").string(),
                             "--backend", "sim", "watch", kPlus},
                            {.output = log, .inputFromNull = true}));
    EXPECT_TRUE(testing_support::eventually([&] {
        return contains(watch.output(), "versions: left 2.1.0, right 2.1.0");
    })) << watch.output();
    watch.stop();
    EXPECT_FALSE(contains(watch.output(), ", right \n")) << watch.output();
    EXPECT_FALSE(contains(watch.output(), "versions: left , right")) << watch.output();
}

TEST_F(CtlTerminalTest, ARefusalIsExplainedWithItsNumberKept) {
    const std::string package = writeCtlPackage(20000);
    ASSERT_EQ(m_sim.ctl(std::string("FWRESULT ") + kFirst + " 0 3"), "OK");
    auto run = runCtl({"--backend", "sim", "fw", "update", kFirst, package});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(contains(run.out, "refused the update (reason 3, for support)")) << run.out;
    EXPECT_TRUE(contains(run.out, "pair them again")) << run.out;

    // 14 ends the update without a reset: the earbuds keep their pairing.
    ASSERT_EQ(m_sim.ctl(std::string("FWRESULT ") + kPlus + " 0 14"), "OK");
    run = runCtl({"--backend", "sim", "--json", "fw", "update", kPlus, package});
    EXPECT_EQ(run.exitCode, 1);
    const json finish = lastObject(run.out);
    EXPECT_EQ(finish.value("reason", 0), 14) << run.out;
    EXPECT_TRUE(contains(finish.value("error", ""), "not reset")) << run.out;
}

TEST_F(CtlTerminalTest, InterruptingAnUpdateEndsWithItsFinishObject) {
    const std::string package = writeCtlPackage(200000);
    ASSERT_EQ(m_sim.ctl(std::string("STALL ") + kPlus + " 20"), "OK");
    const std::filesystem::path log =
        testing_support::makeTempFolder("ctlinterrupt") / "update.txt";
    testing_support::ChildProcess update;
    ASSERT_TRUE(update.start({(platform::paths::executableFolder() / "auralis-ctl").string(),
                              "--backend", "sim", "--json", "fw", "update", kPlus, package},
                             {.output = log, .inputFromNull = true}));
    ASSERT_TRUE(testing_support::eventually(
        [&] { return m_sim.info(kPlus)["transfer"]["percent"].get<int>() >= 20; }));
    EXPECT_EQ(update.signal(SIGINT, 10s), std::optional<int>(1));

    // The output mixes stderr in; the last JSON line is the final object.
    std::istringstream lines(update.output());
    json finish;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] == '{') {
            finish = json::parse(line, nullptr, false);
        }
    }
    EXPECT_EQ(finish.value("event", ""), "finish") << update.output();
    EXPECT_EQ(finish.value("success", true), false);
    EXPECT_EQ(finish.value("reason", 0), -3);
    EXPECT_TRUE(contains(finish.value("error", ""), "interrupted")) << update.output();
}

TEST_F(CtlTerminalTest, TheSimulatorDescribesANameThatIsNotUtf8) {
    const std::string address = "70:5A:B6:00:99:99";
    ASSERT_EQ(m_sim.ctl("ADD " + address + " Auralis \xff\xfe"), "OK");
    const std::string info = m_sim.ctl("INFO " + address);
    EXPECT_EQ(info.rfind("OK ", 0), 0u) << info;
    EXPECT_TRUE(contains(info, "Auralis \xef\xbf\xbd\xef\xbf\xbd")) << info;
    // Still there for every other device.
    EXPECT_EQ(m_sim.ctl("INFO").rfind("OK ", 0), 0u);
    EXPECT_EQ(runCtl({"--backend", "sim", "check"}).exitCode, 0);
}

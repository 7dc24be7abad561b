// auralis-ctl's last word: with --json every failure ends with the command's final object, which
// also carries the failure's "error" text, and in
// text mode what the earbuds send is printed safely.

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "tests/ctl/RunCtl.h"
#include "tests/integration/CtlAgainstSim.h"

using ctl_test::runCtl;
using integration::lastObject;
using integration::withoutError;
using integration::writeCtlPackage;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

const char* const kPlus = "70:5A:B6:01:4F:2A";
const char* const kHostile = "70:5A:B6:00:66:66";

json pairs() {
    return json::array(
        {{{"address", kPlus}, {"name", "Auralis+ (4F2A)"}},
         // A name that would clear the screen and carries a C1 control and a backslash.
         {{"address", kHostile}, {"name", "Auralis \u001b[2J\u0007x\u009b1m\\"}}});
}

class CtlFinalObjectTest : public integration::CtlAgainstSim {
protected:
    CtlFinalObjectTest() : CtlAgainstSim(pairs()) {}
};

}  // namespace

TEST_F(CtlFinalObjectTest, StatusAndScanEndWithAnObjectWhenNothingAnswers) {
    const json unreachable = {{"connected", false}, {"address", kPlus}};

    // Earbuds that connect but never report.
    ASSERT_EQ(m_sim.ctl(std::string("SILENT ") + kPlus + " ON"), "OK");
    auto run = runCtl({"--backend", "sim", "--json", "status", kPlus, "--seconds", "2"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(withoutError(lastObject(run.out)), unreachable) << run.out;

    // Nothing in range.
    ASSERT_EQ(m_sim.ctl(std::string("RANGE ") + kPlus + " OUT"), "OK");
    ASSERT_EQ(m_sim.ctl(std::string("RANGE ") + kHostile + " OUT"), "OK");
    run = runCtl({"--backend", "sim", "--json", "scan", "--seconds", "1"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "{\"event\":\"devices\",\"devices\":[]}\n");

    // No Bluetooth at all.
    ASSERT_EQ(m_sim.ctl("RADIO OFF"), "OK");
    run = runCtl({"--backend", "sim", "--json", "status", kPlus, "--seconds", "1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(withoutError(lastObject(run.out)), unreachable) << run.out;
}

TEST_F(CtlFinalObjectTest, AnUpdateWhoseLinkIsLostEndsWithItsFinishAtOnce) {
    const std::string package = writeCtlPackage(200000);
    ASSERT_EQ(m_sim.ctl(std::string("STALL ") + kPlus + " 20"), "OK");
    ctl_test::Run run;
    std::thread update([&] {
        run = runCtl({"--backend", "sim", "--json", "fw", "update", kPlus, package});
    });
    // Once the transfer has begun, the earbuds close the link (the receive watchdog's 20 s
    // would end the run as well, but only the closed link is reported at once).
    testing_support::eventually(
        [&] { return m_sim.info(kPlus)["transfer"]["percent"].get<int>() >= 20; });
    ASSERT_EQ(m_sim.ctl(std::string("DROP ") + kPlus), "OK");
    update.join();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(withoutError(lastObject(run.out)),
              json::parse(R"({"event":"finish","success":false,"reason":-2})"))
        << run.out;
    EXPECT_NE(run.err.find("the link to the earbuds was lost during the update"), std::string::npos)
        << run.err;
}

TEST_F(CtlFinalObjectTest, NamesFromTheAirArePrintedSafely) {
    const auto run = runCtl({"--backend", "sim", "scan", "--seconds", "1"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(run.out.find('\x07'), std::string::npos);
    EXPECT_EQ(run.out.find("\xc2\x9b"), std::string::npos);
    EXPECT_NE(run.out.find(std::string(kHostile) + "  Auralis \\x1b[2J\\x07x\\u009b1m\\\\\n"),
              std::string::npos)
        << run.out;
    // JSON carries the name itself, escaped as JSON escapes it.
    const auto json = runCtl({"--backend", "sim", "--json", "scan", "--seconds", "1"});
    EXPECT_EQ(json.out.find('\x1b'), std::string::npos);
    EXPECT_NE(json.out.find("Auralis \\u001b[2J\\u0007x"), std::string::npos) << json.out;
}

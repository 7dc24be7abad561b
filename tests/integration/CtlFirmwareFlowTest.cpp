// auralis-ctl's fw check and fw update --latest against auralis-sim and its update server.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/Paths.h"
#include "services/EnvironVar.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/Eventually.h"
#include "tests/common/TestSandbox.h"
#include "tests/ctl/RunCtl.h"
#include "tests/integration/CtlAgainstSim.h"

using ctl_test::runCtl;
using integration::jsonLines;
using integration::lastObject;
using integration::withoutError;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

// A loopback port on which nothing listens.
int closedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    int port = -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::close(fd);
    return port;
}

const char* const kPlus = "70:5A:B6:01:4F:2A";
const char* const kFirst = "70:5A:B6:00:77:A0";

class CtlFirmwareFlowTest : public integration::CtlAgainstSim {
protected:
    CtlFirmwareFlowTest()
        : CtlAgainstSim(
              json::array({{{"address", kPlus},
                            {"name", "Auralis+ (4F2A)"},
                            {"state", {{"versionLeft", "2.1.0"}, {"versionRight", "2.1.0"}}}},
                           {{"address", kFirst},
                            {"name", "Auralis (77A0)"},
                            {"state", {{"versionLeft", "1.4.0"}, {"versionRight", "1.4.0"}}}}}),
              json::object()),
          m_url("AURALIS_UPDATE_URL", m_sim.updateUrl()) {
        // The flags file is shared with the programs this test starts.
        EnvironVar::SetUpdateFWStatus(1);
    }

    ctl_test::Run ctl(std::vector<std::string> args) {
        args.insert(args.begin(), {"--backend", "sim", "--json"});
        return runCtl(args);
    }

    testing_support::ScopedEnv m_url;
};

}  // namespace

TEST_F(CtlFirmwareFlowTest, CheckComparesTheEarbudsWithTheServer) {
    auto run = ctl({"fw", "check", kPlus});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const json newer = json::parse(run.out);
    EXPECT_EQ(run.out.substr(0, run.out.find("\"size\"")),
              "{\"model\":\"VX-R175\",\"current\":\"2.1.0\",\"latest\":\"2.2.0\",\"newer\":true,");
    EXPECT_GT(newer["size"].get<int>(), 0);
    EXPECT_NE(newer["url"].get<std::string>().find("&file="), std::string::npos);
    EXPECT_FALSE(newer["notes"].get<std::string>().empty());

    // Not newer: still exit 0.
    ASSERT_EQ(m_sim.ctl("SERVER nonewer=1"), "OK");
    run = ctl({"fw", "check", kFirst});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(json::parse(run.out)["newer"], false);

    // No server: exit 1.
    testing_support::ScopedEnv noServer("AURALIS_UPDATE_URL", "");
    run = ctl({"fw", "check", kFirst});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("no update server is set"), std::string::npos);
}

TEST_F(CtlFirmwareFlowTest, CheckEndsWithAnObjectWhenTheEarbudsOrTheServerCannotBeReached) {
    {
        // What the earbuds told stands in the object; the server's side says why it is missing.
        testing_support::ScopedEnv noServer("AURALIS_UPDATE_URL", "");
        const auto run = ctl({"fw", "check", kFirst});
        EXPECT_EQ(run.exitCode, 1);
        const json object = lastObject(run.out);
        ASSERT_TRUE(object.is_object()) << "no final object: '" << run.out << "'";
        EXPECT_FALSE(object.value("model", "").empty()) << run.out;
        EXPECT_EQ(object["current"], "1.4.0") << run.out;
        EXPECT_TRUE(object["latest"].is_null()) << run.out;
        EXPECT_EQ(object["newer"], false) << run.out;
        EXPECT_EQ(object["why"], "no-network") << run.out;
    }
    {
        // A server that cannot be reached: the word stays, the detail carries the cause.
        testing_support::ScopedEnv closed("AURALIS_UPDATE_URL", "http://127.0.0.1:1");
        const auto run = ctl({"fw", "check", kFirst});
        EXPECT_EQ(run.exitCode, 1);
        const json object = lastObject(run.out);
        ASSERT_TRUE(object.is_object()) << "no final object: '" << run.out << "'";
        EXPECT_EQ(object["why"], "no-network") << run.out;
        EXPECT_EQ(object.value("detail", "")
                      .rfind("the update server cannot be reached (no network connection); version "
                             "check: no connection to the server could be made (",
                             0),
                  0u)
            << run.out;
    }
    // Earbuds out of range: as status says it.
    ASSERT_EQ(m_sim.ctl(std::string("RANGE ") + kPlus + " OUT"), "OK");
    const auto run = ctl({"fw", "check", kPlus, "--seconds", "2"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(withoutError(lastObject(run.out)), json({{"connected", false}, {"address", kPlus}}))
        << run.out;
}

TEST_F(CtlFirmwareFlowTest, UpdateLatestDownloadsThenTransfers) {
    const auto run = ctl({"fw", "update", kFirst, "--latest"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto objects = jsonLines(run.out);
    ASSERT_GE(objects.size(), 3u);
    EXPECT_EQ(objects.front()["event"], "download");
    std::size_t firstProgress = 0;
    while (firstProgress < objects.size() && objects[firstProgress]["event"] == "download") {
        ++firstProgress;
    }
    EXPECT_EQ(objects[firstProgress - 1]["percent"], 100);
    EXPECT_EQ(objects[firstProgress]["event"], "progress");
    EXPECT_EQ(objects.back(), json::parse(R"({"event":"finish","success":true,"reason":0})"));
    EXPECT_EQ(m_sim.info(kFirst)["updates"], 1);
    // The package the earbuds now run is not kept in the temporary folder.
    const char* temp = std::getenv("AURALIS_TEMP_DIR");
    ASSERT_NE(temp, nullptr);
    EXPECT_FALSE(
        std::filesystem::exists(std::filesystem::path(temp) / "Auralis_VX-R170_1.5.0.bin"));
}

TEST_F(CtlFirmwareFlowTest, UpToDateLeavesTheEarbudsAlone) {
    ASSERT_EQ(m_sim.ctl("SERVER nonewer=1"), "OK");
    auto run = ctl({"fw", "update", kPlus, "--latest"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "{\"event\":\"up-to-date\",\"current\":\"2.1.0\",\"latest\":\"2.1.0\"}\n");
    run = runCtl({"--backend", "sim", "fw", "update", kPlus, "--latest"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find("Already up to date"), std::string::npos);
    EXPECT_EQ(m_sim.info(kPlus)["updates"], 0);
}

// A shared download folder (anyone may write, sticky, like /tmp) is refused: the update says so
// and downloads nothing, neither there nor at the file system's root.
TEST_F(CtlFirmwareFlowTest, RefusedDownloadFolderDownloadsNothing) {
    const std::filesystem::path shared = testing_support::makeTempFolder("shared-temp");
    std::filesystem::permissions(shared,
                                 std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
    testing_support::ScopedEnv temp("AURALIS_TEMP_DIR", shared.string());
    const auto run = ctl({"fw", "update", kPlus, "--latest"});
    EXPECT_EQ(run.exitCode, 1);
    const auto objects = jsonLines(run.out);
    ASSERT_FALSE(objects.empty()) << run.out;
    EXPECT_EQ(objects.back().value("event", ""), "refused");
    EXPECT_EQ(objects.back().value("why", ""), "no-temp-folder");
    EXPECT_NE(run.err.find(shared.string()), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(shared));
    EXPECT_FALSE(std::filesystem::exists("/Auralis_VX-R175_2.2.0.bin.temp"));
    EXPECT_FALSE(std::filesystem::exists("/Auralis_VX-R175_2.2.0.bin"));
    EXPECT_EQ(m_sim.info(kPlus)["updates"], 0);
}

TEST_F(CtlFirmwareFlowTest, EachRefusalIsAPlainMessageAndExitOne) {
    const auto refusal = [&](const char* address) {
        const auto run = ctl({"fw", "update", address, "--latest"});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_FALSE(run.err.empty());
        const auto objects = jsonLines(run.out);
        if (objects.empty()) {
            return json();
        }
        // The words for scripts, and a detail for people.
        json last = withoutError(objects.back());
        EXPECT_FALSE(last.value("detail", "").empty());
        last.erase("detail");
        return last;
    };
    ASSERT_EQ(m_sim.ctl(std::string("BATTERY ") + kPlus + " 15 90"), "OK");
    EXPECT_EQ(refusal(kPlus), json::parse(R"({"event":"refused","why":"battery-low"})"));
    ASSERT_EQ(m_sim.ctl(std::string("BATTERY ") + kPlus + " 16 16"), "OK");
    ASSERT_EQ(m_sim.ctl(std::string("WEARING ") + kPlus + " 1 4"), "OK");
    EXPECT_EQ(refusal(kPlus), json::parse(R"({"event":"refused","why":"not-worn"})"));

    ASSERT_EQ(m_sim.ctl("SERVER corrupt=1"), "OK");
    EXPECT_EQ(refusal(kFirst), json::parse(R"({"event":"refused","why":"invalid-package"})"));
    // Each server fault names its own cause.
    ASSERT_EQ(m_sim.ctl("SERVER corrupt=0 error500=1"), "OK");
    EXPECT_EQ(refusal(kFirst), json::parse(R"({"event":"refused","why":"server-error"})"));
    ASSERT_EQ(m_sim.ctl("SERVER error500=0 drops=1"), "OK");
    EXPECT_EQ(refusal(kFirst), json::parse(R"({"event":"refused","why":"download-failed"})"));
    ASSERT_EQ(m_sim.ctl("SERVER drops=0"), "OK");
    {
        testing_support::ScopedEnv nobody("AURALIS_UPDATE_URL",
                                          "http://127.0.0.1:" + std::to_string(closedPort()));
        EXPECT_EQ(refusal(kFirst), json::parse(R"({"event":"refused","why":"no-network"})"));
    }
    testing_support::ScopedEnv noServer("AURALIS_UPDATE_URL", "");
    EXPECT_EQ(refusal(kFirst), json::parse(R"({"event":"refused","why":"no-network"})"));
    EXPECT_EQ(m_sim.info(kPlus)["updates"], 0);
    EXPECT_EQ(m_sim.info(kFirst)["updates"], 0);
    EXPECT_EQ(m_sim.info(kFirst)["resets"], 0);
}

// Ctrl-C during the download of --latest ends with the final object, leaves no partial file in
// the temporary folder and sends nothing to the earbuds.
TEST_F(CtlFirmwareFlowTest, InterruptingTheDownloadEndsInOrderAndLeavesNothing) {
    ASSERT_EQ(m_sim.ctl("SERVER slow=2000"), "OK");
    const std::filesystem::path log =
        testing_support::makeTempFolder("ctllatestinterrupt") / "update.txt";
    testing_support::ChildProcess update;
    ASSERT_TRUE(update.start({(platform::paths::executableFolder() / "auralis-ctl").string(),
                              "--backend", "sim", "--json", "fw", "update", kPlus, "--latest"},
                             {.output = log, .inputFromNull = true}));
    ASSERT_TRUE(testing_support::eventually([&] {
        return update.output().find("\"event\":\"download\"") != std::string::npos;
    })) << update.output();
    EXPECT_EQ(update.signal(SIGINT, 10s), std::optional<int>(1));

    // The output mixes stderr in; the last JSON object is the final one.
    json finish;
    for (const json& object : jsonLines(update.output())) {
        if (object.is_object()) {
            finish = object;
        }
    }
    ASSERT_TRUE(finish.is_object()) << update.output();
    EXPECT_EQ(finish.value("event", ""), "finish") << update.output();
    EXPECT_EQ(finish.value("reason", 0), -3);
    EXPECT_NE(finish.value("error", "").find("interrupted during the download"), std::string::npos);
    const std::filesystem::path temp = platform::paths::tempFolder();
    if (std::filesystem::exists(temp)) {
        for (const auto& entry : std::filesystem::directory_iterator(temp)) {
            ADD_FAILURE() << "left behind: " << entry.path();
        }
    }
    EXPECT_EQ(m_sim.info(kPlus)["updates"], 0);
}

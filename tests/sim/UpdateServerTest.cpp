#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>

#include "auralis/Version.h"
#include "fota/Crc32.h"
#include "fota/FileInfo.h"
#include "sim/FirmwareDescriptor.h"
#include "sim/Scenario.h"
#include "sim/UpdateServer.h"
#include "tests/common/TestSandbox.h"
#include "tests/sim/SimTestClient.h"

namespace {

using simtest::SimRunner;

constexpr const char* kLanguageCodes[] = {"CHN", "DEU", "ESP", "ESP_LAT", "FRA", "ITA", "JPN",
                                          "NLD", "PRT", "RUS", "TUR",     "TWN", "VNM", "ENG"};

sim::SimConfig config() {
    sim::SimConfig config = SimRunner::baseConfig();
    sim::EarbudSettings second = SimRunner::device("70:5A:B6:01:4F:2A", "Auralis+ (4F2A)");
    second.state.versionLeft = "2.1.3";
    second.state.versionRight = "2.1.0";
    config.devices = {second};
    return config;
}

// The part of an address after the host, as httplib's client asks for it.
std::string pathOf(const std::string& url, const std::string& base) {
    return url.substr(base.size());
}

nlohmann::json getJson(httplib::Client& client, const std::string& path) {
    const auto response = client.Get(path.c_str());
    EXPECT_TRUE(response);
    if (!response) {
        return {};
    }
    EXPECT_EQ(response->status, 200) << path;
    return nlohmann::json::parse(response->body, nullptr, false);
}

TEST(UpdateServerTest, FirmwareAnswerPerModelWithNotesInEveryLanguage) {
    SimRunner sim(config());
    httplib::Client client(sim.url());
    const auto response = client.Get("/firmware/latest?model=VX-R175");
    ASSERT_TRUE(response);
    ASSERT_EQ(response->status, 200);
    // The six fields, in their order.
    const std::string& body = response->body;
    std::size_t last = 0;
    for (const char* field :
         {"\"version\"", "\"url\"", "\"flag\"", "\"notes\"", "\"extra\"", "\"notesKorean\""}) {
        const std::size_t at = body.find(field);
        ASSERT_NE(at, std::string::npos) << field;
        EXPECT_GT(at, last) << field;
        last = at;
    }
    const auto answer = nlohmann::json::parse(body);
    EXPECT_EQ(answer["version"], "2.2.0");
    EXPECT_EQ(answer["flag"], 0);
    for (const char* code : kLanguageCodes) {
        EXPECT_NE(answer["notes"][code].get<std::string>().find("2.2.0"), std::string::npos)
            << code;
    }
    EXPECT_NE(answer["notesKorean"].get<std::string>().find("버전"), std::string::npos);
    const std::string url = answer["url"];
    EXPECT_TRUE(url.starts_with(sim.url() + "/firmware/download?")) << url;
    EXPECT_EQ(url.substr(url.find("&file=") + 6), "Auralis_VX-R175_2.2.0.bin");

    EXPECT_EQ(getJson(client, "/firmware/latest?model=VX-R170")["version"], "1.5.0");
    const auto unknown = client.Get("/firmware/latest?model=VX-R999");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);
}

TEST(UpdateServerTest, DownloadedPackageIsReadableAndCarriesTheVersion) {
    SimRunner sim(config());
    httplib::Client client(sim.url());
    const std::string url = getJson(client, "/firmware/latest?model=VX-R170")["url"];
    const std::string path = pathOf(url, sim.url());

    const auto head = client.Head(path.c_str());
    ASSERT_TRUE(head);
    ASSERT_EQ(head->status, 200);
    const auto body = client.Get(path.c_str());
    ASSERT_TRUE(body);
    ASSERT_EQ(body->status, 200);
    EXPECT_EQ(head->get_header_value("Content-Length"), std::to_string(body->body.size()));

    const auto file = testing_support::makeTempFolder("download") / "package.bin";
    std::ofstream(file, std::ios::binary) << body->body;
    FileInfo info;
    ASSERT_TRUE(info.getFileInfo(file.string()));
    ASSERT_EQ(info.entries.size(), 3u);
    EXPECT_EQ(info.entries[0].id, 1u);
    EXPECT_EQ(info.entries[1].id, 2u);
    EXPECT_EQ(info.entries[2].id, 3u);
    EXPECT_EQ(info.entries[1].size, 75000u);
    EXPECT_EQ(info.entries[2].size, 25000u);
    EXPECT_EQ(info.totalSize, body->body.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(body->body.data());
    EXPECT_EQ(info.fileCrc32, fota::crc32(bytes, body->body.size() - 4));
    const auto descriptor = sim::FirmwareDescriptor::parse(
        std::span<const uint8_t>(bytes + info.entries[0].offset, info.entries[0].size));
    ASSERT_TRUE(descriptor);
    EXPECT_EQ(descriptor->model, "VX-R170");
    EXPECT_EQ(descriptor->version, "1.5.0");
}

TEST(UpdateServerTest, ApplicationAnswerAndInstaller) {
    SimRunner sim(config());
    httplib::Client client(sim.url());
    const auto answer = getJson(client, "/app/latest");
    const std::string expected = sim::Scenario::nextVersion(AURALIS_VERSION);
    EXPECT_EQ(answer["version"], expected);
    EXPECT_FALSE(answer["notice"].get<std::string>().empty());
    const std::string url = answer["url"];
    // The update client names the installer after everything from "Lumora" on.
    EXPECT_EQ(url.substr(url.find("Lumora")), "LumoraAuralisManagerSetup-" + expected + ".sh");

    const auto installer = client.Get(pathOf(url, sim.url()).c_str());
    ASSERT_TRUE(installer);
    ASSERT_EQ(installer->status, 200);
    const auto folder = testing_support::makeTempFolder("installer");
    const auto script = folder / "setup.sh";
    std::ofstream(script) << installer->body;
    const auto log = folder / "install.log";
    testing_support::ScopedEnv env("AURALIS_SIM_INSTALL_LOG", log.string());
    ASSERT_EQ(std::system(("sh " + script.string() + " /zliveupdate > /dev/null").c_str()), 0);
    std::ifstream in(log);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, expected + " /zliveupdate");

    const auto missing = client.Get("/app/download/../../etc/passwd");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 404);
}

// The given installer is served byte for byte, and the offer names the version it installs (its
// self-extracting label, else its file name), so a copy of that version is not offered it again.
TEST(UpdateServerTest, ServesTheGivenInstallerAndOffersTheVersionItInstalls) {
    const auto folder = testing_support::makeTempFolder("built-installer");
    const auto file = folder / "setup.run";
    std::string bytes = "#!/bin/sh\nlabel=\"Auralis Manager " AURALIS_VERSION "\"\nexit 0\n";
    bytes.push_back('\0');
    bytes += std::string(70000, '\xA5');
    std::ofstream(file, std::ios::binary) << bytes;

    sim::SimConfig withInstaller = config();
    withInstaller.server.app.installer = file;
    SimRunner sim(withInstaller);
    httplib::Client client(sim.url());
    const nlohmann::json answer = getJson(client, "/app/latest");
    EXPECT_EQ(answer["version"], AURALIS_VERSION);
    const std::string url = answer["url"];
    const auto installer = client.Get(pathOf(url, sim.url()).c_str());
    ASSERT_TRUE(installer);
    ASSERT_EQ(installer->status, 200);
    EXPECT_EQ(installer->body, bytes);

    const auto start = [](const std::filesystem::path& installerFile, std::string* version) {
        sim::UpdateServerSettings settings;
        settings.app.installer = installerFile;
        sim::UpdateServer server(settings, nullptr);
        std::string error;
        if (!server.start(&error)) {
            return error;
        }
        httplib::Client local(server.baseUrl());
        *version = getJson(local, "/app/latest")["version"];
        return std::string();
    };
    std::string version;
    const auto named = folder / "AuralisManagerSetup-2.3.4.run";
    std::ofstream(named) << "#!/bin/sh\nexit 0\n";
    EXPECT_EQ(start(named, &version), "");
    EXPECT_EQ(version, "2.3.4");

    const auto unnamed = folder / "setup-unknown.run";
    std::ofstream(unnamed) << "#!/bin/sh\nexit 0\n";
    EXPECT_NE(start(unnamed, &version).find("cannot tell which version"), std::string::npos);
    const std::string missing = start(folder / "no-such-installer.run", &version);
    EXPECT_NE(missing.find("no-such-installer.run"), std::string::npos) << missing;
}

TEST(UpdateServerTest, ScenarioSwitchesNoNewerAndServerError) {
    SimRunner sim(config());
    httplib::Client client(sim.url());
    ASSERT_EQ(sim.ctl("SERVER nonewer=1"), "OK");
    // Not newer: the oldest version the earbuds of that model run, and this build's version.
    EXPECT_EQ(getJson(client, "/firmware/latest?model=VX-R175")["version"], "2.1.0");
    EXPECT_EQ(getJson(client, "/app/latest")["version"], AURALIS_VERSION);

    ASSERT_EQ(sim.ctl("SERVER nonewer=0 error500=1"), "OK");
    for (const char* path : {"/firmware/latest?model=VX-R175", "/app/latest",
                             "/firmware/download?model=VX-R175&version=2.2.0&file=x.bin"}) {
        const auto response = client.Get(path);
        ASSERT_TRUE(response);
        EXPECT_EQ(response->status, 500) << path;
    }
    ASSERT_EQ(sim.ctl("SERVER error500=0 firmware=VX-R175:2.3.0 app=9.9"), "OK");
    EXPECT_EQ(getJson(client, "/firmware/latest?model=VX-R175")["version"], "2.3.0");
    EXPECT_EQ(getJson(client, "/app/latest")["version"], "9.9");
    EXPECT_EQ(sim.ctl("SERVER firmware=VX-R999:1.0"),
              "ERR no firmware for model VX-R999 or bad version");
    EXPECT_EQ(sim.ctl("SERVER loud=1"), "ERR bad server setting loud=1");
}

TEST(UpdateServerTest, DownloadsThatBreakOffBeforeOneSucceedsAndSlowDownloads) {
    SimRunner sim(config());
    httplib::Client client(sim.url());
    const std::string path =
        pathOf(getJson(client, "/firmware/latest?model=VX-R175")["url"], sim.url());
    const auto whole = client.Get(path.c_str());
    ASSERT_TRUE(whole);

    ASSERT_EQ(sim.ctl("SERVER drops=2"), "OK");
    for (int i = 0; i < 2; ++i) {
        httplib::Client fresh(sim.url());
        const auto broken = fresh.Get(path.c_str());
        EXPECT_FALSE(broken && broken->body.size() == whole->body.size()) << "attempt " << i;
    }
    // HEAD does not count as a download.
    const auto head = client.Head(path.c_str());
    ASSERT_TRUE(head);
    EXPECT_EQ(head->get_header_value("Content-Length"), std::to_string(whole->body.size()));
    httplib::Client fresh(sim.url());
    const auto third = fresh.Get(path.c_str());
    ASSERT_TRUE(third);
    EXPECT_EQ(third->body, whole->body);

    // A slow download still delivers every byte (its speed is measured elsewhere, not here).
    ASSERT_EQ(sim.ctl("SERVER slow=2000000"), "OK");
    const auto slow = client.Get(path.c_str());
    ASSERT_TRUE(slow);
    EXPECT_EQ(slow->body, whole->body);
}

TEST(UpdateServerTest, CorruptPackagesAndWronglyAnnouncedSizes) {
    SimRunner sim(config());
    httplib::Client client(sim.url());
    const std::string path =
        pathOf(getJson(client, "/firmware/latest?model=VX-R175")["url"], sim.url());
    const auto whole = client.Get(path.c_str());
    ASSERT_TRUE(whole);

    // Corrupt: as long as the real package, but an entry points past its end.
    ASSERT_EQ(sim.ctl("SERVER corrupt=1"), "OK");
    const auto corrupt = client.Get(path.c_str());
    ASSERT_TRUE(corrupt);
    ASSERT_EQ(corrupt->body.size(), whole->body.size());
    const auto file = testing_support::makeTempFolder("corrupt") / "package.bin";
    std::ofstream(file, std::ios::binary) << corrupt->body;
    FileInfo info;
    ASSERT_TRUE(info.getFileInfo(file.string()));
    EXPECT_GT(uint64_t{info.entries[0].offset} + info.entries[0].size, corrupt->body.size());

    // Wrong size: HEAD announces more than GET delivers; GET itself is whole.
    ASSERT_EQ(sim.ctl("SERVER corrupt=0 wrongsize=1"), "OK");
    const auto head = client.Head(path.c_str());
    ASSERT_TRUE(head);
    EXPECT_EQ(head->get_header_value("Content-Length"), std::to_string(whole->body.size() + 1000));
    const auto body = client.Get(path.c_str());
    ASSERT_TRUE(body);
    EXPECT_EQ(body->body, whole->body);
    EXPECT_EQ(sim.ctl("SERVER corrupt=2"), "ERR bad server setting corrupt=2");
}

}  // namespace

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <iterator>

#include "fota/Crc32.h"
#include "fota/PackageFormat.h"
#include "tests/common/TestSandbox.h"
#include "tests/ctl/RunCtl.h"

namespace fs = std::filesystem;
using ctl_test::runCtl;
using Bytes = std::vector<uint8_t>;

namespace {

class CtlFirmwareTest : public ::testing::Test {
protected:
    void SetUp() override { m_folder = testing_support::makeTempFolder("ctlfw"); }

    std::string file(const std::string& name, const Bytes& bytes) {
        const fs::path path = m_folder / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    std::string path(const std::string& name) const { return (m_folder / name).string(); }

    static Bytes read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    fs::path m_folder;
};

}  // namespace

TEST_F(CtlFirmwareTest, PackThenInfoRoundTrips) {
    const std::string a = file("a.bin", Bytes(1300, 0x11));
    const std::string b = file("b.bin", Bytes(650, 0x22));
    const std::string out = path("fw.bin");
    const auto pack = runCtl({"fw", "pack", out, "1=" + a, "0x02=" + b});
    ASSERT_EQ(pack.exitCode, 0) << pack.err;
    EXPECT_NE(pack.out.find("2 entries, 1998 bytes"), std::string::npos) << pack.out;

    const auto info = runCtl({"--json", "fw", "info", out});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const auto json = nlohmann::json::parse(info.out);
    const Bytes package = read(out);
    EXPECT_EQ(json["magic"], 0xCAFECAFE);
    EXPECT_EQ(json["totalSize"], package.size());
    EXPECT_EQ(json["entryCount"], 2);
    EXPECT_EQ(json["valid"], true);
    EXPECT_EQ(json["fileCrc32"], fota::crc32(package.data(), package.size() - 4));
    ASSERT_EQ(json["entries"].size(), 2u);
    EXPECT_EQ(json["entries"][1]["id"], 2);
    EXPECT_EQ(json["entries"][1]["offset"], 12 + 32 + 1300);
    EXPECT_EQ(json["entries"][1]["size"], 650);
    const Bytes second(650, 0x22);
    EXPECT_EQ(json["entries"][1]["crc"], fota::crc32(second.data(), second.size()));
    // Exactly one line of JSON.
    EXPECT_EQ(info.out.find('\n'), info.out.size() - 1);

    const auto human = runCtl({"fw", "info", out});
    EXPECT_EQ(human.exitCode, 0);
    EXPECT_NE(human.out.find("Magic:       0xcafecafe"), std::string::npos) << human.out;
    EXPECT_NE(human.out.find("Valid:       yes"), std::string::npos);
}

TEST_F(CtlFirmwareTest, InvalidAndMissingPackagesFailWithStatusOne) {
    Bytes bigEndian(40, 0);
    bigEndian[0] = 0xCA, bigEndian[1] = 0xFE, bigEndian[2] = 0xCA, bigEndian[3] = 0xFE;
    const std::string invalid = file("be.bin", bigEndian);
    const auto json = runCtl({"fw", "info", "--json", invalid});
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_EQ(nlohmann::json::parse(json.out)["valid"], false);
    EXPECT_NE(json.err.find("not a valid firmware package"), std::string::npos);

    const auto missing = runCtl({"fw", "info", path("absent.bin")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.out.empty());
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos);

    const auto folder = runCtl({"fw", "info", m_folder.string()});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_NE(folder.err.find("is a folder"), std::string::npos);
}

TEST_F(CtlFirmwareTest, PackFailuresLeaveNoOutput) {
    const std::string a = file("a.bin", Bytes(10, 1));
    const std::string out = path("fw.bin");
    const auto missingInput = runCtl({"fw", "pack", out, "1=" + a, "2=" + path("absent")});
    EXPECT_EQ(missingInput.exitCode, 1);
    EXPECT_FALSE(fs::exists(out));

    const auto badFolder = runCtl({"fw", "pack", path("nowhere/fw.bin"), "1=" + a});
    EXPECT_EQ(badFolder.exitCode, 1);
    EXPECT_NE(badFolder.err.find("cannot write"), std::string::npos);

    // An id the earbuds cannot request is packed with a warning.
    const auto high = runCtl({"fw", "pack", out, "200=" + a});
    EXPECT_EQ(high.exitCode, 0);
    EXPECT_NE(high.err.find("warning"), std::string::npos);
}

TEST_F(CtlFirmwareTest, LogLevelFiltersTheCopiedLogAndRefusesUnknownLevels) {
    const std::string out = path("fw.bin");
    ASSERT_EQ(runCtl({"fw", "pack", out, "1=" + file("a.bin", Bytes(5, 7))}).exitCode, 0);
    const auto quiet = runCtl({"-v", "--log-level", "warning", "fw", "info", out});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.err.find("[FileInfo]"), std::string::npos) << quiet.err;
    const auto fromEnvironment = [&] {
        testing_support::ScopedEnv level("AURALIS_LOG_LEVEL", "error");
        return runCtl({"-v", "fw", "info", out});
    }();
    EXPECT_EQ(fromEnvironment.err.find("[FileInfo]"), std::string::npos) << fromEnvironment.err;
    EXPECT_EQ(runCtl({"--log-level=loud", "fw", "info", out}).exitCode, 2);
}

TEST_F(CtlFirmwareTest, VerboseCopiesTheLogAndDashDashEndsOptions) {
    const std::string odd = file("-odd.bin", Bytes(5, 7));
    const std::string out = path("fw.bin");
    ASSERT_EQ(runCtl({"fw", "pack", out, "9=" + odd}).exitCode, 0);
    const auto verbose = runCtl({"-v", "fw", "info", out});
    EXPECT_EQ(verbose.exitCode, 0);
    EXPECT_NE(verbose.err.find("[FileInfo]: magicNumber[cafecafe]"), std::string::npos);

    fs::copy_file(out, m_folder / "-fw.bin");
    EXPECT_EQ(runCtl({"fw", "info", "-fw.bin"}, m_folder).exitCode, 2);
    EXPECT_EQ(runCtl({"fw", "info", "--", "-fw.bin"}, m_folder).exitCode, 0);
}

TEST_F(CtlFirmwareTest, UnsoundPackagesAreCalledInvalidAndNeverSent) {
    // A sound layout whose second entry reaches past the end of the file.
    Bytes package(12 + 2 * 16 + 8 + 4, 0);
    const uint32_t words[] = {fota::kMagicNumber, 60, 2, 1, 0, 44, 4, 2, 0, 48, 400};
    for (std::size_t i = 0; i < std::size(words); ++i) {
        fota::writeLE32(package.data() + 4 * i, words[i]);
    }
    const std::string unsound = file("unsound.bin", package);
    auto run = runCtl({"--json", "fw", "info", unsound});
    EXPECT_EQ(run.exitCode, 1);
    const auto object = nlohmann::json::parse(run.out);
    EXPECT_EQ(object["valid"], false);
    EXPECT_EQ(object["entryCount"], 2);
    EXPECT_NE(object["reason"].get<std::string>().find("outside the file"), std::string::npos);

    run = runCtl({"fw", "info", unsound});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("Valid:       no, entry 2"), std::string::npos);

    // fw update refuses it before looking for any earbuds.
    run = runCtl({"--backend", "sim", "fw", "update", "70:5A:B6:01:4F:2A", unsound});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("outside the file"), std::string::npos);

    // Usage: --latest takes no FILE, and FILE is needed without it.
    EXPECT_EQ(runCtl({"fw", "update", "70:5A:B6:01:4F:2A", unsound, "--latest"}).exitCode, 2);
    EXPECT_EQ(runCtl({"fw", "update", "70:5A:B6:01:4F:2A"}).exitCode, 2);
    EXPECT_EQ(runCtl({"fw", "check"}).exitCode, 2);
}

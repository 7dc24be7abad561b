// The structural verdict on a firmware package: what is refused before the earbuds see it, and
// that a check value is never a reason to refuse.

#include "fota/PackageVerdict.h"

#include <gtest/gtest.h>

#include <fstream>

#include "fota/PackageFormat.h"
#include "fota/PackageWriter.h"
#include "tests/common/TestSandbox.h"

namespace {

using Bytes = std::vector<uint8_t>;

class PackageVerdictTest : public ::testing::Test {
protected:
    void SetUp() override { m_folder = testing_support::makeTempFolder("verdict"); }

    std::string write(const Bytes& bytes) {
        const auto path = m_folder / ("p" + std::to_string(m_count++) + ".bin");
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    static Bytes package() {
        fota::PackageWriter writer;
        writer.addEntry(1, Bytes(40, 0x11));
        writer.addEntry(2, Bytes(300, 0x22));
        Bytes bytes;
        writer.build(bytes);
        return bytes;
    }

    // The package with one 32-bit field rewritten.
    static Bytes with(std::size_t at, uint32_t value) {
        Bytes bytes = package();
        fota::writeLE32(bytes.data() + at, value);
        return bytes;
    }

    std::string reasonFor(const Bytes& bytes, uint64_t announced = 0) {
        const fota::PackageVerdict verdict = fota::checkPackage(write(bytes), announced);
        EXPECT_EQ(verdict.valid, !verdict.error);
        return verdict.error.message();
    }

    std::filesystem::path m_folder;
    int m_count = 0;
};

constexpr std::size_t kEntry1 = fota::kHeaderSize;
constexpr std::size_t kEntry2 = fota::kHeaderSize + fota::kEntryRecordSize;

}  // namespace

TEST_F(PackageVerdictTest, SoundPackagePassesWhateverItsCheckValues) {
    const Bytes good = package();
    const fota::PackageVerdict verdict = fota::checkPackage(write(good), good.size());
    EXPECT_TRUE(verdict.valid) << verdict.error.message();
    EXPECT_EQ(verdict.info.entries.size(), 2u);
    EXPECT_EQ(verdict.fileLength, good.size());
    // Wrong entry and file check values are the earbuds' to find.
    Bytes badChecks = with(kEntry1 + 4, 0xDEADBEEF);
    fota::writeLE32(badChecks.data() + badChecks.size() - 4, 0x12345678);
    EXPECT_EQ(reasonFor(badChecks), "");
}

TEST_F(PackageVerdictTest, HeaderFaultsAndShortFiles) {
    EXPECT_NE(reasonFor(with(0, 0xFECAFECA)).find("magic"), std::string::npos);
    EXPECT_NE(reasonFor(with(4, 0)), "");
    EXPECT_NE(reasonFor(with(8, 0)), "");
    EXPECT_NE(reasonFor(Bytes{0xFE, 0xCA}).find("shorter"), std::string::npos);
    EXPECT_NE(reasonFor(Bytes{}), "");
    // A table cut short: the header promises more entries than the file holds.
    const Bytes good = package();
    EXPECT_NE(reasonFor(Bytes(good.begin(), good.begin() + kEntry2 + 5)), "");
    // The step that found the fault comes first, then the fault with its numbers.
    EXPECT_EQ(reasonFor(with(8, 200)),
              "reading entry table: the table is cut short: the header states 200 entries, the "
              "file has room for " +
                  std::to_string((good.size() - kEntry1 - 4) / 16));
    EXPECT_EQ(fota::checkPackage((m_folder / "missing.bin").string()).valid, false);
    EXPECT_EQ(fota::checkPackage(m_folder.string()).valid, false);
}

TEST_F(PackageVerdictTest, EntriesTheTransferCannotCarry) {
    EXPECT_NE(reasonFor(with(8, 256)).find("256 entries"), std::string::npos);
    EXPECT_NE(reasonFor(with(kEntry2 + 12, 1u << 24)).find("16 MiB"), std::string::npos);
    const uint32_t length = static_cast<uint32_t>(package().size());
    EXPECT_NE(reasonFor(with(kEntry2 + 8, length)).find("outside"), std::string::npos);
    // An offset that wraps around 32 bits with its size is still outside.
    EXPECT_NE(reasonFor(with(kEntry2 + 8, 0xFFFFFFF0u)).find("outside"), std::string::npos);
    // An entry ending exactly at the end of the file is inside.
    EXPECT_EQ(reasonFor(with(kEntry2 + 8, length - 300)), "");
}

TEST_F(PackageVerdictTest, LengthMustMatchTheAnnouncedSize) {
    const Bytes good = package();
    EXPECT_NE(reasonFor(good, good.size() + 1000).find("announced"), std::string::npos);
    EXPECT_NE(reasonFor(Bytes(good.begin(), good.end() - 1), good.size()), "");
    // 0: the server did not say.
    EXPECT_EQ(reasonFor(good, 0), "");
}

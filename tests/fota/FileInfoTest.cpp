#include "fota/FileInfo.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <string>

#include "base/Log.h"
#include "fota/PackageWriter.h"
#include "tests/common/TestSandbox.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

class FileInfoTest : public ::testing::Test {
protected:
    void SetUp() override { m_folder = testing_support::makeTempFolder("fileinfo"); }

    std::string write(const Bytes& bytes, const std::string& name = "fw.bin") {
        const fs::path path = m_folder / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    static Bytes twoEntryPackage() {
        fota::PackageWriter writer;
        writer.addEntry(1, Bytes(40, 0x11));
        writer.addEntry(2, Bytes(8, 0x22));
        Bytes package;
        writer.build(package);
        return package;
    }

    static void expectInvalidState(const FileInfo& info) {
        EXPECT_TRUE(info.entries.empty());
        EXPECT_EQ(info.fileCrc32, 0u);
    }

    fs::path m_folder;
};

}  // namespace

TEST_F(FileInfoTest, ReadsTheTableInFileOrderAndTheLastFourBytes) {
    Bytes package = twoEntryPackage();
    // totalSize is not compared with the real length; the check value comes from the end.
    fota::writeLE32(package.data() + 4, 99999);
    fota::writeLE32(package.data() + package.size() - 4, 0x12345678);
    FileInfo info(write(package));
    EXPECT_EQ(info.magicNumber, 0xCAFECAFEu);
    EXPECT_EQ(info.totalSize, 99999u);
    ASSERT_EQ(info.entries.size(), 2u);
    EXPECT_EQ(info.entries[0].id, 1u);
    EXPECT_EQ(info.entries[0].offset, 44u);
    EXPECT_EQ(info.entries[1].id, 2u);
    EXPECT_EQ(info.entries[1].size, 8u);
    EXPECT_EQ(info.fileCrc32, 0x12345678u);
    // Reading again does not add the entries twice.
    EXPECT_TRUE(info.getFileInfo(info.path));
    EXPECT_EQ(info.entries.size(), 2u);
}

TEST_F(FileInfoTest, InvalidHeadersKeepTheValuesReadAndNothingElse) {
    Bytes bigEndian = twoEntryPackage();
    bigEndian[0] = 0xCA, bigEndian[1] = 0xFE, bigEndian[2] = 0xCA, bigEndian[3] = 0xFE;
    FileInfo info(write(bigEndian, "be.bin"));
    EXPECT_EQ(info.magicNumber, 0xFECAFECAu);
    EXPECT_EQ(info.entryCount, 2u);
    expectInvalidState(info);

    for (const std::size_t field : {4u, 8u}) {
        Bytes zero = twoEntryPackage();
        fota::writeLE32(zero.data() + field, 0);
        FileInfo other;
        EXPECT_FALSE(other.getFileInfo(write(zero, "zero.bin")));
        EXPECT_EQ(other.magicNumber, fota::kMagicNumber);
        expectInvalidState(other);
    }
}

TEST_F(FileInfoTest, MissingFileChangesNothing) {
    FileInfo info((m_folder / "absent.bin").string());
    EXPECT_EQ(info.magicNumber, 0u);
    EXPECT_EQ(info.totalSize, 0u);
    EXPECT_EQ(info.entryCount, 0u);
    expectInvalidState(info);
}

TEST_F(FileInfoTest, ShortReadsMakeThePackageInvalid) {
    const Bytes package = twoEntryPackage();
    // Cut inside the header, inside the table, and right after the table.
    for (const std::size_t length : {0u, 8u, 11u, 12u + 16u + 5u}) {
        FileInfo info;
        EXPECT_FALSE(info.getFileInfo(write(Bytes(package.begin(), package.begin() + length))))
            << length;
        expectInvalidState(info);
    }
    // A table that claims four thousand million entries ends at the first short read.
    Bytes huge = package;
    fota::writeLE32(huge.data() + 8, 0xFFFFFFFF);
    FileInfo info;
    EXPECT_FALSE(info.getFileInfo(write(huge)));
    EXPECT_EQ(info.entryCount, 0xFFFFFFFFu);
    expectInvalidState(info);
    // Exactly header and table: the "last four bytes" are those of the table, which is valid.
    FileInfo exact;
    EXPECT_TRUE(exact.getFileInfo(write(Bytes(package.begin(), package.begin() + 12 + 32))));
    EXPECT_EQ(exact.fileCrc32, fota::readLE32(package.data() + 12 + 32 - 4));
}

TEST_F(FileInfoTest, SaysWhichStepOfReadingFailedAndWhy) {
    const Bytes package = twoEntryPackage();
    const auto whyFor = [&](const Bytes& bytes) {
        FileInfo info;
        const base::Error error = info.read(write(bytes));
        EXPECT_TRUE(error);
        return error.message();
    };
    EXPECT_EQ(whyFor(Bytes(package.begin(), package.begin() + 8)),
              "reading header: the file is shorter than the 12-byte header");
    EXPECT_EQ(whyFor(Bytes(package.begin(), package.begin() + 12 + 16 + 5)),
              "reading entry table: the table ends after 1 of 2 entries");
    Bytes wrongMagic = package;
    wrongMagic[0] ^= 0xFF;
    EXPECT_EQ(whyFor(wrongMagic),
              "reading header: it is not a firmware package (wrong magic number)");
    Bytes noEntries = package;
    fota::writeLE32(noEntries.data() + 8, 0);
    EXPECT_EQ(whyFor(noEntries), "reading header: the header states no entries");

    FileInfo absent;
    const base::Error missing = absent.read((m_folder / "absent.bin").string());
    EXPECT_EQ(missing.message(), "opening package: No such file or directory");
    EXPECT_EQ(missing.code(), ENOENT);
    FileInfo good;
    EXPECT_FALSE(good.read(write(package)));
}

TEST_F(FileInfoTest, LogsTheHeaderEveryEntryAndTheCheckValue) {
    const fs::path logFolder = testing_support::makeTempFolder("fileinfo-log");
    base::log::configure({.folder = logFolder, .name = "fileinfo"});
    FileInfo info(write(twoEntryPackage()));
    base::log::flush();
    std::ifstream in(logFolder / "fileinfo.log");
    const std::string log((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(log.find("[FileInfo]: magicNumber[cafecafe], totalSize[96], entryCount[2]"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("[FileInfo]: id[2], crc["), std::string::npos);
    EXPECT_NE(log.find("offset[84], size[8]"), std::string::npos);
    EXPECT_NE(log.find("[FileInfo]: fileCrc32["), std::string::npos);
    base::log::configure({});
}

TEST_F(FileInfoTest, AHugeTableIsSummarisedInTheLogNotListed) {
    constexpr uint32_t kEntries = 100000;
    Bytes package(fota::kHeaderSize + kEntries * fota::kEntryRecordSize + fota::kFileCrcSize);
    fota::encodeHeader({0xCAFECAFE, static_cast<uint32_t>(package.size()), kEntries},
                       package.data());
    const fs::path logFolder = testing_support::makeTempFolder("filelog");
    base::log::configure({.folder = logFolder, .name = "table"});
    FileInfo info(write(package));
    base::log::flush();
    EXPECT_EQ(info.entries.size(), kEntries);

    std::ifstream log(logFolder / "table.log");
    std::size_t lines = 0;
    bool summarised = false;
    for (std::string line; std::getline(log, line); ++lines) {
        summarised = summarised || line.find("more entries not listed") != std::string::npos;
    }
    EXPECT_LT(lines, 100u);
    EXPECT_TRUE(summarised);
}

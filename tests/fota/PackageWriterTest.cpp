#include "fota/PackageWriter.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>

#include "fota/Crc32.h"
#include "fota/FileInfo.h"
#include "tests/common/TestSandbox.h"

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Bytes pattern(std::size_t size, uint8_t seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    }
    return bytes;
}

}  // namespace

TEST(PackageWriterTest, Crc32HasTheIeeeCheckValue) {
    const std::string digits = "123456789";
    const auto* bytes = reinterpret_cast<const uint8_t*>(digits.data());
    EXPECT_EQ(fota::crc32(bytes, digits.size()), 0xCBF43926u);
    EXPECT_EQ(fota::crc32(bytes + 3, 6, fota::crc32(bytes, 3)), 0xCBF43926u);
    EXPECT_EQ(fota::crc32(bytes, 0), 0u);
}

TEST(PackageWriterTest, PackageCarriesChecksumsOffsetsAndItsOwnLength) {
    fota::PackageWriter writer;
    writer.addEntry(1, pattern(1300, 3));
    writer.addEntry(2, pattern(650, 9));
    Bytes package;
    ASSERT_TRUE(writer.build(package));
    ASSERT_EQ(package.size(), 12u + 2 * 16 + 1300 + 650 + 4);
    const auto header = fota::decodeHeader(package.data());
    EXPECT_EQ(header.magicNumber, 0xCAFECAFEu);
    EXPECT_EQ(header.totalSize, package.size());
    EXPECT_EQ(header.entryCount, 2u);
    const auto second = fota::decodeEntry(package.data() + 12 + 16);
    EXPECT_EQ(second.id, 2u);
    EXPECT_EQ(second.offset, 12u + 32 + 1300);
    EXPECT_EQ(second.size, 650u);
    EXPECT_EQ(second.crc, fota::crc32(package.data() + second.offset, second.size));
    EXPECT_EQ(Bytes(package.begin() + second.offset, package.begin() + second.offset + 650),
              pattern(650, 9));
    EXPECT_EQ(fota::readLE32(package.data() + package.size() - 4),
              fota::crc32(package.data(), package.size() - 4));
}

TEST(PackageWriterTest, WrittenFileReadsBackThroughFileInfo) {
    const fs::path folder = testing_support::makeTempFolder("pack");
    fota::PackageWriter writer;
    writer.addEntry(7, pattern(100, 1));
    writer.addEntry(7, pattern(20, 2));
    writer.addEntry(127, {});
    const fs::path path = folder / "fw.bin";
    ASSERT_TRUE(writer.writeFile(path));
    const FileInfo info(path.string());
    EXPECT_EQ(info.magicNumber, fota::kMagicNumber);
    EXPECT_EQ(info.totalSize, fs::file_size(path));
    EXPECT_EQ(info.entryCount, 3u);
    EXPECT_EQ(info.entries, writer.records());
    const Bytes bytes = readAll(path);
    EXPECT_EQ(info.fileCrc32, fota::crc32(bytes.data(), bytes.size() - 4));
    // Only the package itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST(PackageWriterTest, FailuresAreReportedAndLeaveNothingBehind) {
    fota::PackageWriter empty;
    Bytes package;
    EXPECT_FALSE(empty.build(package));
    EXPECT_NE(empty.make(package).message().find("at least one entry"), std::string::npos);

    const fs::path folder = testing_support::makeTempFolder("packfail");
    fota::PackageWriter writer;
    writer.addEntry(1, pattern(10, 0));
    const base::Error error = writer.save(folder / "missing" / "fw.bin");
    EXPECT_EQ(error.message(), "cannot write " + (folder / "missing" / "fw.bin").string() +
                                   ": No such file or directory");
    EXPECT_EQ(error.code(), ENOENT);
    EXPECT_TRUE(fs::is_empty(folder));

    // Replacing an existing file works and leaves no temporary file.
    const fs::path path = folder / "fw.bin";
    std::ofstream(path) << "old";
    ASSERT_TRUE(writer.writeFile(path));
    EXPECT_EQ(fs::file_size(path), 12u + 16 + 10 + 4);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

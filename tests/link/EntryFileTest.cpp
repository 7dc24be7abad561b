// The held package file of a transfer: fragments come from the file as it is, a file that
// shrinks or goes away fails the read cleanly, and a file replaced after close() is read anew.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "link/EntryFile.h"
#include "tests/link/LinkTestSupport.h"

namespace {

namespace fs = std::filesystem;

class EntryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "entryfile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        path = (folder / "package.bin").string();
    }
    void TearDown() override { fs::remove_all(folder); }

    void write(const std::string& bytes) const {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string read(uint64_t position, std::size_t count) {
        std::string out(count, '\0');
        if (!file.read(path, position, count, reinterpret_cast<uint8_t*>(out.data()))) {
            return "<failed>";
        }
        return out;
    }

    link_test::LogCapture log;
    fs::path folder;
    std::string path;
    EntryFile file;
};

TEST_F(EntryFileTest, ReadsFragmentsOfTheHeldFileAndFailsCleanlyWhenItShrinks) {
    write("0123456789abcdef");
    EXPECT_EQ(read(0, 4), "0123");
    EXPECT_TRUE(file.isOpen());
    EXPECT_EQ(read(12, 4), "cdef");
    // Cut short under the held file: the fresh-opening reader's attempts decide, and fail.
    fs::resize_file(path, 10);
    EXPECT_EQ(read(8, 4), "<failed>");
    EXPECT_TRUE(log.contains("RAF fail 0"));
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(read(6, 4), "6789");
}

TEST_F(EntryFileTest, AClosedFileIsOpenedAnewAndAMissingOneFails) {
    write("first package");
    EXPECT_EQ(read(0, 5), "first");
    file.close();
    EXPECT_FALSE(file.isOpen());
    fs::remove(path);
    write("other package");
    EXPECT_EQ(read(0, 5), "other");
    fs::remove(path);
    file.close();
    EXPECT_EQ(read(0, 5), "<failed>");
    EXPECT_TRUE(log.contains("cannot open"));
    EXPECT_FALSE(file.isOpen());
}

}  // namespace

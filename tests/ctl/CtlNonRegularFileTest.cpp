#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>

#include "tests/common/TestSandbox.h"
#include "tests/ctl/RunCtl.h"

namespace fs = std::filesystem;
using CtlRun = ctl_test::Run;
using ctl_test::runCtl;

namespace {

// Generous bound for a command that must not wait for anything.
constexpr std::chrono::seconds kBound{20};

class CtlNonRegularFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = testing_support::makeTempFolder("ctlspecial");
        m_fifo = m_folder / "pipe";
        ASSERT_EQ(::mkfifo(m_fifo.c_str(), 0600), 0);
        std::ofstream(m_folder / "entry.bin", std::ios::binary) << std::string(300, 'x');
    }

    // Runs auralis-ctl; should it still be waiting on the pipe after the bound, a writer opens
    // and closes the pipe so the run ends, and stalled is set.
    CtlRun runAgainstPipe(const std::vector<std::string>& args, bool& stalled) {
        auto run = std::async(std::launch::async, [args] { return runCtl(args); });
        stalled = run.wait_for(kBound) != std::future_status::ready;
        // Old readers may open the pipe more than once: keep letting them through.
        while (run.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
            const int fd = ::open(m_fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                ::close(fd);
            }
        }
        return run.get();
    }

    std::size_t filesInFolder() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(m_folder), {}));
    }

    fs::path m_folder;
    fs::path m_fifo;
};

}  // namespace

TEST_F(CtlNonRegularFileTest, InfoAndPackInputOnAPipeFailAtOnce) {
    bool stalled = false;
    const CtlRun info = runAgainstPipe({"fw", "info", m_fifo.string()}, stalled);
    EXPECT_FALSE(stalled) << "fw info waited on a named pipe";
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_NE(info.err.find("not a regular file"), std::string::npos) << info.err;

    const CtlRun pack = runAgainstPipe(
        {"fw", "pack", (m_folder / "out.bin").string(), "1=" + m_fifo.string()}, stalled);
    EXPECT_FALSE(stalled) << "fw pack waited on a named pipe";
    EXPECT_EQ(pack.exitCode, 1);
    EXPECT_NE(pack.err.find("not a regular file"), std::string::npos) << pack.err;
    EXPECT_FALSE(fs::exists(m_folder / "out.bin"));
}

TEST_F(CtlNonRegularFileTest, PackRefusesToReplaceAnythingButARegularFile) {
    const std::string entry = "1=" + (m_folder / "entry.bin").string();
    const fs::path folderOut = m_folder / "folder";
    fs::create_directory(folderOut);
    const std::size_t before = filesInFolder();

    for (const fs::path& out : {m_fifo, folderOut}) {
        const CtlRun pack = runCtl({"fw", "pack", out.string(), entry});
        EXPECT_EQ(pack.exitCode, 1) << out;
        EXPECT_NE(pack.err.find("not a regular file"), std::string::npos) << pack.err;
    }
    EXPECT_TRUE(fs::is_fifo(m_fifo));
    EXPECT_TRUE(fs::is_directory(folderOut));
    EXPECT_TRUE(fs::is_empty(folderOut));
    EXPECT_EQ(filesInFolder(), before) << "a temporary file was left behind";

    // A regular file is replaced whole, with no temporary left beside it; a link to one is
    // replaced by the new file and the file it pointed to keeps its contents.
    const fs::path regular = m_folder / "old.bin";
    std::ofstream(regular) << "old";
    const fs::path link = m_folder / "link.bin";
    fs::create_symlink(regular, link);
    ASSERT_EQ(runCtl({"fw", "pack", regular.string(), entry}).exitCode, 0);
    EXPECT_GT(fs::file_size(regular), 300u);
    EXPECT_EQ(filesInFolder(), before + 2);
}

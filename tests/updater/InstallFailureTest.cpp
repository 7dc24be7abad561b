// Installers that must not run or that fail, and a temporary folder that is refused: the user
// is told each time, nothing that cannot run is left behind, and the old program runs again.

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "tests/common/LoopbackListener.h"
#include "tests/updater/UpdateClientHarness.h"
#include "ui/SPopupDialog.h"
#include "updater/InstallerCheck.h"
#include "updater/SGUIMain.h"

namespace updater_test {
namespace {

namespace fs = std::filesystem;
using Captions = std::vector<std::string>;
using updater::InstallerCheck;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A loopback server that answers every request with the same raw bytes and closes: it can
// leave out the length, lie about it or send a web page where a program belongs.
class RawServer {
public:
    explicit RawServer(std::string answer) : m_answer(std::move(answer)) {
        m_thread = std::thread([this] { serve(); });
    }
    ~RawServer() {
        m_stop.store(true);
        m_thread.join();
    }
    std::string address() const { return m_listener.url("/LumoraAuralisManagerSetup-9.9.9.sh"); }

private:
    void serve() {
        while (!m_stop.load()) {
            pollfd waiting{m_listener.fd(), POLLIN, 0};
            if (::poll(&waiting, 1, 50) <= 0) {
                continue;
            }
            const int client = ::accept4(m_listener.fd(), nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                continue;
            }
            std::string request;
            char buffer[1024];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t got = ::recv(client, buffer, sizeof(buffer), 0);
                if (got <= 0) {
                    break;
                }
                request.append(buffer, static_cast<std::size_t>(got));
            }
            std::size_t sent = 0;
            while (sent < m_answer.size()) {
                const ssize_t put =
                    ::send(client, m_answer.data() + sent, m_answer.size() - sent, MSG_NOSIGNAL);
                if (put <= 0) {
                    break;
                }
                sent += static_cast<std::size_t>(put);
            }
            ::close(client);
        }
    }

    testing_support::LoopbackListener m_listener{8};
    std::string m_answer;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

std::string WithLength(const std::string& body, const std::string& type) {
    return "HTTP/1.1 200 OK\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" +
           body;
}

std::string WithoutLength(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nConnection: "
           "close\r\n\r\n" +
           body;
}

// A real program of this machine: the shell.
std::string ElfProgram() {
    return ReadBytes(fs::canonical("/bin/sh"));
}

// The same program built, as far as the system can tell, for another processor.
std::string ForeignElfProgram() {
    std::string program = ElfProgram();
    constexpr std::size_t kMachineOffset = 0x12;
    program[kMachineOffset] = static_cast<char>(program[kMachineOffset] == 0x3E ? 0xB7 : 0x3E);
    program[kMachineOffset + 1] = 0;
    return program;
}

struct FailureCase {
    const char* name;
    std::string answer;
    const char* logged;  // the client's log line that names the cause
    bool junkRemoved;    // nothing of the download is left in the temporary folder
};

TEST(InstallFailureTest, EveryFailedInstallationIsToldAndTheOldProgramRunsAgain) {
    const std::vector<FailureCase> cases = {
        {"a web page", WithLength("<html><body>Not here</body></html>", "text/html"),
         "downloaded installer refused: not a program", true},
        {"an empty answer", WithLength("", "application/octet-stream"),
         "downloaded installer refused: empty", true},
        {"half a program, no length announced", WithoutLength(ElfProgram().substr(0, 20000)),
         "downloaded installer refused: an ELF file cut short", true},
        {"a program the system cannot run", WithLength(ForeignElfProgram(), "application/x-elf"),
         "installer could not be started (8", true},
        {"an installer that fails", WithLength("#!/bin/sh\nexit 3\n", "application/x-sh"),
         "the installer ended with status 3", false},
    };
    for (const FailureCase& failure : cases) {
        SCOPED_TRACE(failure.name);
        UpdateClientHarness client;
        RawServer server(failure.answer);
        int messages = 0;
        client.run({"/v", "9.9.9", "/u", server.address()}, [&](UpdateClientHarness& h) {
            SPopupDialog* dialog = h.readyDialog();
            if (dialog != nullptr && UpdateClientHarness::captions(*dialog) == Captions{"OK"}) {
                ++messages;
                UpdateClientHarness::press(*dialog, "OK");
            }
        });
        EXPECT_FALSE(client.timedOut());
        EXPECT_EQ(messages, 1);
        EXPECT_EQ(client.logLines(failure.logged), 1);
        EXPECT_TRUE(client.mainProgramStarted());
        EXPECT_EQ(client.logLines("ShellExecute = " +
                                  (client.installFolder() / "AuralisManager").string()),
                  1);
        if (failure.junkRemoved) {
            EXPECT_TRUE(fs::is_empty(client.tempFolder()));
        }
    }
}

TEST(InstallFailureTest, RefusedTemporaryFolderIsToldAndNothingIsDownloaded) {
    UpdateClientHarness client;
    // A shared folder such as /tmp (anyone may write, sticky) is never used for downloads.
    const fs::path shared = testing_support::makeTempFolder("shared");
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    testing_support::ScopedEnv temp("AURALIS_TEMP_DIR", shared.string());
    int messages = 0;
    client.run({"/v", "9.9.9", "/u", client.installerAddress()}, [&](UpdateClientHarness& h) {
        SPopupDialog* dialog = h.readyDialog();
        if (dialog != nullptr && UpdateClientHarness::captions(*dialog) == Captions{"OK"}) {
            ++messages;
            UpdateClientHarness::press(*dialog, "OK");
        }
    });
    EXPECT_FALSE(client.timedOut());
    EXPECT_EQ(messages, 1);
    EXPECT_EQ(client.logLines("temporary folder " + shared.string() + " refused"), 1);
    EXPECT_TRUE(client.mainProgramStarted());
    EXPECT_TRUE(fs::is_empty(shared));
    EXPECT_FALSE(fs::exists("/LumoraAuralisManagerSetup-9.9.9.sh.temp"));
    EXPECT_FALSE(fs::exists("/LumoraAuralisManagerSetup-9.9.9.sh"));
    EXPECT_FALSE(fs::exists(client.installFolder() / "installer.log"));
}

TEST(InstallFailureTest, InstallerCheckWantsTheAnnouncedLengthAndAWholeProgram) {
    const fs::path folder = testing_support::makeTempFolder("check");
    const auto write = [&](const std::string& name, const std::string& bytes) {
        std::ofstream(folder / name, std::ios::binary) << bytes;
        return (folder / name).string();
    };
    const std::string program = ElfProgram();
    EXPECT_EQ(InstallerCheck::Check(write("whole", program), 0), InstallerCheck::Verdict::Ok);
    EXPECT_EQ(InstallerCheck::Check(write("whole", program), program.size()),
              InstallerCheck::Verdict::Ok);
    EXPECT_EQ(InstallerCheck::Check(write("whole", program), program.size() + 1),
              InstallerCheck::Verdict::WrongLength);
    EXPECT_EQ(InstallerCheck::Check(write("half", program.substr(0, program.size() / 2)), 0),
              InstallerCheck::Verdict::TruncatedElf);
    EXPECT_EQ(InstallerCheck::Check(write("header", program.substr(0, 40)), 0),
              InstallerCheck::Verdict::TruncatedElf);
    EXPECT_EQ(InstallerCheck::Check(write("script", "#!/bin/sh\necho hi\n"), 0),
              InstallerCheck::Verdict::Ok);
    EXPECT_EQ(InstallerCheck::Check(write("relative", "#!sh\necho hi\n"), 0),
              InstallerCheck::Verdict::NotAProgram);
    EXPECT_EQ(InstallerCheck::Check(write("page", "<!DOCTYPE html><html></html>"), 0),
              InstallerCheck::Verdict::NotAProgram);
    EXPECT_EQ(InstallerCheck::Check(write("empty", ""), 0), InstallerCheck::Verdict::Empty);
    EXPECT_EQ(InstallerCheck::Check((folder / "missing").string(), 0),
              InstallerCheck::Verdict::Unreadable);
    fs::create_symlink(folder / "whole", folder / "link");
    EXPECT_EQ(InstallerCheck::Check((folder / "link").string(), 0),
              InstallerCheck::Verdict::Unreadable);
}

TEST(InstallFailureTest, PackageOwnedFolderIsNeverUpdatedInPlace) {
    const fs::path info = testing_support::makeTempFolder("dpkg-info");
    const fs::path folder = testing_support::makeTempFolder("usr-lib") / "auralis-manager";
    fs::create_directories(folder);
    EXPECT_FALSE(updater::SGUIMain::IsPackageFolder(folder.string(), info.string()));
    std::ofstream(info / "other.list") << folder.string() << "\n";
    EXPECT_FALSE(updater::SGUIMain::IsPackageFolder(folder.string(), info.string()));
    // A list that names only the files in the folder names it too.
    std::ofstream(info / "auralis-manager.list") << "/.\n/usr\n"
                                                 << (folder / "AuralisManager").string() << "\n";
    EXPECT_TRUE(updater::SGUIMain::IsPackageFolder(folder.string(), info.string()));
    std::filesystem::remove(info / "auralis-manager.list");
    EXPECT_FALSE(updater::SGUIMain::IsPackageFolder(folder.string(), info.string()));
    std::ofstream(info / "auralis-manager:amd64.list") << "/.\n/usr\n" << folder.string() << "\n";
    EXPECT_TRUE(updater::SGUIMain::IsPackageFolder(folder.string(), info.string()));
    EXPECT_TRUE(updater::SGUIMain::IsPackageFolder(folder.string() + "/", info.string()));
    EXPECT_FALSE(updater::SGUIMain::IsPackageFolder(folder.parent_path().string(), info.string()));
}

}  // namespace
}  // namespace updater_test

#include <fcntl.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/Paths.h"
#include "tests/common/ChildProcess.h"
#include "tests/common/TestSandbox.h"
#include "tests/sim/SimTestClient.h"

namespace {

// The built auralis-sim as a child process with its standard output in a pipe.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& arguments) {
        const std::string program = (platform::paths::executableFolder() / "auralis-sim").string();
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        std::vector<std::string> args = {program};
        args.insert(args.end(), arguments.begin(), arguments.end());
        m_process.start(args, {.outputFd = out[1]});
        ::close(out[1]);
        m_out = out[0];
    }

    ~SimProcess() {
        m_process.signal(SIGKILL, std::chrono::seconds(10));
        if (m_out >= 0) {
            ::close(m_out);
        }
    }

    // The next line of output, empty after 10 s or at the end.
    std::string readLine() {
        std::string line;
        char c = 0;
        for (;;) {
            pollfd pfd{m_out, POLLIN, 0};
            if (::poll(&pfd, 1, 10000) <= 0 || ::read(m_out, &c, 1) != 1 || c == '\n') {
                return line;
            }
            line += c;
        }
    }

    // Everything the program writes until it closes its output.
    std::string readAll() {
        std::string text;
        char buffer[1024];
        for (;;) {
            pollfd pfd{m_out, POLLIN, 0};
            if (::poll(&pfd, 1, 10000) <= 0) {
                return text;
            }
            const ssize_t n = ::read(m_out, buffer, sizeof(buffer));
            if (n <= 0) {
                return text;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }

    // Sends the signal and returns the exit status (-1 when the program did not end normally).
    // Sends the signal and returns the exit status (-1 when the program did not end normally).
    int stop(int signal) { return normalExit(m_process.signal(signal, std::chrono::seconds(30))); }

    int wait() { return normalExit(m_process.wait(std::chrono::seconds(30))); }

private:
    // The program's own exit code; -1 when a signal ended it or it did not end in time.
    static int normalExit(std::optional<int> code) {
        return code.has_value() && *code < 128 ? *code : -1;
    }

    testing_support::ChildProcess m_process;
    int m_out = -1;
};

TEST(SimProgramTest, DemoRunsBothGenerationsAndANewerUpdateAndStopsCleanly) {
    const auto socket = testing_support::sandboxFolder() / "program.sock";
    SimProcess sim({"--demo", "--http-port", "0", "--socket", socket.string()});
    EXPECT_EQ(sim.readLine(), "neighbourhood: " + socket.string());
    const std::string server = sim.readLine();
    ASSERT_TRUE(server.starts_with("update server: http://127.0.0.1:")) << server;
    const std::string url = server.substr(std::string("update server: ").size());

    EXPECT_EQ(simtest::request(socket, "SCAN"),
              "DEVICE 70:5A:B6:01:4F:2A Auralis+ (4F2A)\n"
              "DEVICE 70:5A:B6:00:77:A0 Auralis (77A0)\n"
              "END\n");
    const auto devices =
        nlohmann::json::parse(simtest::request(socket, "CTL INFO").substr(3))["devices"];
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0]["generation"], 2);
    EXPECT_EQ(devices[1]["generation"], 1);

    httplib::Client client(url);
    for (int i = 0; i < 2; ++i) {
        const std::string model = devices[i]["model"];
        const auto answer = client.Get(("/firmware/latest?model=" + model).c_str());
        ASSERT_TRUE(answer);
        const std::string offered = nlohmann::json::parse(answer->body)["version"];
        EXPECT_GT(offered, devices[i]["state"]["versionLeft"].get<std::string>()) << model;
    }
    const auto app = client.Get("/app/latest");
    ASSERT_TRUE(app);
    EXPECT_EQ(app->status, 200);

    EXPECT_EQ(sim.stop(SIGTERM), 0);
    EXPECT_FALSE(std::filesystem::exists(socket));
}

TEST(SimProgramTest, InterruptStopsAndHelpListsTheControlCommands) {
    const auto socket = testing_support::sandboxFolder() / "interrupt.sock";
    {
        SimProcess sim({"--no-http", "--socket", socket.string()});
        EXPECT_EQ(sim.readLine(), "neighbourhood: " + socket.string());
        EXPECT_EQ(simtest::request(socket, "SCAN"), "END\n");
        EXPECT_EQ(sim.stop(SIGINT), 0);
        EXPECT_FALSE(std::filesystem::exists(socket));
    }
    SimProcess help({"--help"});
    const std::string text = help.readAll();
    EXPECT_NE(text.find("--transcript DIR"), std::string::npos);
    EXPECT_NE(text.find("FWRESULT"), std::string::npos);
    EXPECT_EQ(help.wait(), 0);

    SimProcess wrong({"--bogus"});
    EXPECT_EQ(wrong.wait(), 2);
}

}  // namespace

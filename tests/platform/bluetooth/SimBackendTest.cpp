#include "platform/bluetooth/sim/SimBackend.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/bluetooth/BackendFactory.h"
#include "platform/bluetooth/BluetoothAddress.h"
#include "platform/bluetooth/UnavailableBackend.h"
#include "tests/common/TestSandbox.h"

using namespace platform::bluetooth;
using namespace std::chrono_literals;

namespace {

// A stand-in for the neighbourhood socket: each connection gets one request line and the answer
// the test's function returns for it; after "OK\n" to CONNECT the connection echoes bytes.
class ScriptedNeighbourhood {
public:
    using Script = std::function<std::string(const std::string& request)>;

    explicit ScriptedNeighbourhood(Script script)
        : m_path(testing_support::makeTempFolder("simsock") / "n.sock"),
          m_script(std::move(script)) {
        m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, m_path.c_str(), sizeof(address.sun_path) - 1);
        EXPECT_EQ(::bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        EXPECT_EQ(::listen(m_listen, 8), 0);
        m_thread = std::thread([this] { serve(); });
    }
    ~ScriptedNeighbourhood() {
        ::shutdown(m_listen, SHUT_RDWR);
        m_thread.join();
        ::close(m_listen);
    }

    const std::filesystem::path& path() const { return m_path; }
    std::vector<std::string> requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    void serve() {
        for (;;) {
            const int fd = ::accept(m_listen, nullptr, nullptr);
            if (fd < 0) {
                return;
            }
            std::string line;
            char byte = 0;
            while (::recv(fd, &byte, 1, 0) == 1 && byte != '\n') {
                line.push_back(byte);
            }
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(line);
            }
            const std::string answer = m_script(line);
            ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
            if (line.rfind("CONNECT", 0) == 0 && answer.rfind("OK\n", 0) == 0) {
                char buffer[256];
                ssize_t count = 0;
                while ((count = ::recv(fd, buffer, sizeof(buffer), 0)) > 0) {
                    ::send(fd, buffer, static_cast<std::size_t>(count), MSG_NOSIGNAL);
                }
            }
            ::close(fd);
        }
    }

    std::filesystem::path m_path;
    Script m_script;
    int m_listen = -1;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
};

}  // namespace

TEST(BluetoothAddressTest, FormatsAndParsesMostSignificantByteFirst) {
    EXPECT_EQ(formatAddress(0x0011223344AAull), "00:11:22:33:44:AA");
    EXPECT_EQ(parseAddress("00:11:22:33:44:aa"), 0x0011223344AAull);
    EXPECT_EQ(parseAddress(formatAddress(0xFEDCBA987654ull)), 0xFEDCBA987654ull);
    for (const char* bad : {"", "00:11:22:33:44", "00:11:22:33:44:AA:", "00-11-22-33-44-AA",
                            "0G:11:22:33:44:AA", "00:11:22:33:44:A "}) {
        EXPECT_FALSE(parseAddress(bad)) << bad;
    }
}

TEST(BluetoothErrorTest, NamesTheSeamsCodesAndErrnoValues) {
    EXPECT_EQ(errorText(kErrorAlreadyPaired), "The device is already paired");
    EXPECT_EQ(errorText(kErrorCancelled), "The operation was cancelled");
    EXPECT_EQ(errorText(ENODEV), "No such device");
    EXPECT_FALSE(errorText(123456).empty());
}

TEST(SimBackendTest, SpeaksTheNeighbourhoodProtocol) {
    ScriptedNeighbourhood sim([](const std::string& request) -> std::string {
        if (request == "RADIO") {
            return "OK\n";
        }
        if (request == "SCAN") {
            return "DEVICE 00:11:22:33:44:55 Auralis+ (4F2A)\nDEVICE AA:BB:CC:DD:EE:01 "
                   "Kitchen  speaker \nEND\n";
        }
        if (request == "PAIR 00:11:22:33:44:55") {
            return "ERR 259\n";
        }
        if (request.rfind("UNPAIR", 0) == 0) {
            return "OK\n";
        }
        if (request == "CONNECT 00:11:22:33:44:55 00001101-0000-1000-8000-00805F9B34FB") {
            // Stream bytes follow the answer at once; none may be lost to the answer's reading.
            return std::string("OK\n\xFD\x03\x00\x29", 7);
        }
        return "ERR 111\n";
    });
    SimBackend backend(sim.path());
    EXPECT_EQ(backend.checkRadio(), kOk);
    const ScanResult scan = backend.scan();
    EXPECT_EQ(scan.code, kOk);
    EXPECT_EQ(scan.devices,
              (std::vector<DiscoveredDevice>{{"Auralis+ (4F2A)", 0x001122334455ull},
                                             {"Kitchen  speaker ", 0xAABBCCDDEE01ull}}));
    EXPECT_EQ(backend.pair(0x001122334455ull), kErrorAlreadyPaired);
    EXPECT_EQ(backend.unpair(0x001122334455ull), kOk);

    const ConnectResult wrong =
        backend.connect(0x001122334455ull, "00001102-0000-1000-8000-00805F9B34FD");
    EXPECT_EQ(wrong.code, ECONNREFUSED);
    EXPECT_FALSE(wrong.connection);
    const ConnectResult link =
        backend.connect(0x001122334455ull, "00001101-0000-1000-8000-00805F9B34FB");
    ASSERT_EQ(link.code, kOk);
    ASSERT_TRUE(link.connection);
    uint8_t buffer[16];
    std::size_t got = 0;
    while (got < 4) {
        const auto count = link.connection->receive(buffer + got, sizeof(buffer) - got);
        ASSERT_GT(count, 0);
        got += static_cast<std::size_t>(count);
    }
    EXPECT_EQ(buffer[0], 0xFD);
    EXPECT_EQ(buffer[3], 0x29);
    const uint8_t ping[] = {1, 2, 3};
    EXPECT_EQ(link.connection->send(ping, sizeof(ping)), 3);
    EXPECT_EQ(link.connection->receive(buffer, sizeof(buffer)), 3);
    link.connection->close();
    EXPECT_EQ(sim.requests().front(), "RADIO");
}

TEST(SimBackendTest, BadAnswersAndMissingSimsFailWithCodes) {
    ScriptedNeighbourhood sim([](const std::string& request) -> std::string {
        if (request == "RADIO") {
            return "ERR 19\n";
        }
        if (request == "SCAN") {
            return "DEVICE 00:11:22:33:44:55 Auralis\nDEVICE nonsense\nEND\n";
        }
        if (request.rfind("PAIR", 0) == 0) {
            return "MAYBE\n";
        }
        return "OK";  // no line end: the answer breaks off
    });
    SimBackend backend(sim.path(), 500ms);
    EXPECT_EQ(backend.checkRadio(), ENODEV);
    const ScanResult scan = backend.scan();
    EXPECT_EQ(scan.code, EPROTO);
    EXPECT_TRUE(scan.devices.empty());
    EXPECT_EQ(backend.pair(1), EPROTO);
    EXPECT_EQ(backend.unpair(1), ECONNRESET);

    SimBackend nobody(testing_support::makeTempFolder("nosim") / "none.sock");
    EXPECT_EQ(nobody.checkRadio(), ENOENT);
    EXPECT_EQ(nobody.scan().code, ENOENT);
    EXPECT_EQ(nobody.connect(1, "x").code, ENOENT);
    SimBackend tooLong(std::filesystem::path("/tmp") / std::string(200, 'x'));
    EXPECT_EQ(tooLong.checkRadio(), ENAMETOOLONG);
}

TEST(SimBackendTest, ASimThatNeverAnswersTimesOut) {
    ScriptedNeighbourhood sim([](const std::string&) -> std::string {
        std::this_thread::sleep_for(400ms);
        return "";
    });
    SimBackend backend(sim.path(), 50ms);
    EXPECT_EQ(backend.checkRadio(), ETIMEDOUT);
}

TEST(BackendFactoryTest, ChoosesByNameOrEnvironmentAndNeverFailsToDeliver) {
    {
        testing_support::ScopedEnv env("AURALIS_BACKEND", "sim");
        testing_support::ScopedEnv socket("AURALIS_SIM_SOCKET", "/tmp/somewhere/sim.sock");
        const auto backend = createBackend();
        EXPECT_EQ(backend->name(), "sim");
        EXPECT_EQ(dynamic_cast<SimBackend&>(*backend).socketPath(), "/tmp/somewhere/sim.sock");
    }
    {
        testing_support::ScopedEnv env("AURALIS_BACKEND", "");
        EXPECT_EQ(defaultBackendName(), "bluez");
        EXPECT_EQ(SimBackend::defaultSocketPath(),
                  testing_support::sandboxFolder() / "runtime" / "auralis-sim.sock");
    }
    // Until BlueZ access is built, choosing it reports Bluetooth as absent at once.
    const auto bluez = createBackend("bluez");
    EXPECT_EQ(bluez->name(), "bluez");
    EXPECT_EQ(bluez->checkRadio(), ENOSYS);
    EXPECT_EQ(bluez->scan().code, ENOSYS);
    EXPECT_FALSE(bluez->connect(1, "x").connection);
    EXPECT_EQ(createBackend("carrier-pigeon")->checkRadio(), ENOSYS);
}

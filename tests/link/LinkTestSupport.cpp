#include "tests/link/LinkTestSupport.h"

#include <sys/socket.h>

#include <fstream>
#include <iterator>

#include "services/Log.h"
#include "tests/common/TestSandbox.h"

namespace link_test {

LogCapture::LogCapture() : m_folder(testing_support::makeTempFolder("linklog")) {
    services::log::configure({.folder = m_folder, .name = "link"});
}

LogCapture::~LogCapture() {
    services::log::configure({});
}

std::string LogCapture::text() const {
    services::log::flush();
    std::ifstream in(m_folder / "link.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

LinkUnderTest::LinkUnderTest(const std::string& deviceName) {
    std::tie(ours, peer) = platform::bluetooth::FdConnection::createPair();
    handle.setConnection(ours);
    handle.setDelegate(&delegate);
    if (!deviceName.empty()) {
        device = std::make_unique<BluetoothDevice>(deviceName, 0x0011223344556677ull);
        handle.setConnectedDevice(device.get());
    }
}

Bytes LinkUnderTest::sentBytes() {
    Bytes bytes;
    uint8_t buffer[4096];
    for (;;) {
        const ssize_t got = ::recv(peer->fd(), buffer, sizeof(buffer), MSG_DONTWAIT);
        if (got <= 0) {
            return bytes;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

}  // namespace link_test

#include "platform/bluetooth/bluez/BluezStandInRfcommDialer.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "platform/bluetooth/BluetoothAddress.h"

namespace platform::bluetooth {
namespace {

constexpr std::size_t kMaxAnswer = 64 * 1024;

bool sendLine(int fd, const std::string& line) {
    const std::string text = line + "\n";
    return ::send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
}

// Reads until the connection ends; false when the answer is too long or the read fails.
bool readAll(int fd, std::string& text) {
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n == 0) {
            return true;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > kMaxAnswer) {
            return false;
        }
    }
}

int errorCode(const std::string& line) {
    const int code = line.rfind("ERR ", 0) == 0 ? std::atoi(line.c_str() + 4) : 0;
    return code > 0 ? code : EPROTO;
}

}  // namespace

BluezStandInRfcommDialer::BluezStandInRfcommDialer(std::string socketPath)
    : m_socketPath(std::move(socketPath)) {}

int BluezStandInRfcommDialer::request(const std::string& line) const {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -errno;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (m_socketPath.size() >= sizeof(address.sun_path)) {
        ::close(fd);
        return -ENAMETOOLONG;
    }
    std::memcpy(address.sun_path, m_socketPath.c_str(), m_socketPath.size());
    timeval timeout{.tv_sec = 10, .tv_usec = 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        !sendLine(fd, line)) {
        const int error = errno;
        ::close(fd);
        return -error;
    }
    return fd;
}

int BluezStandInRfcommDialer::records(uint64_t address, const std::string& /*uuid*/,
                                      std::vector<SdpRecordInfo>& found) {
    const int fd = request("RECORDS " + formatAddress(address));
    if (fd < 0) {
        return -fd;
    }
    std::string text;
    const bool read = readAll(fd, text);
    ::close(fd);
    if (!read) {
        return EIO;
    }
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line == "END") {
            return 0;
        }
        std::istringstream words(line);
        std::string keyword;
        std::string protocol;
        std::string classes;
        SdpRecordInfo record;
        if (!(words >> keyword >> protocol >> record.port) || keyword != "RECORD") {
            return errorCode(line);
        }
        words >> classes;
        record.rfcomm = protocol == "rfcomm";
        std::istringstream list(classes);
        for (std::string uuid; std::getline(list, uuid, ',');) {
            record.classes.push_back(uuid);
        }
        found.push_back(std::move(record));
    }
    return EPROTO;
}

int BluezStandInRfcommDialer::open(uint64_t address, int channel) {
    const int fd = request("RFCOMM " + formatAddress(address) + " " + std::to_string(channel));
    if (fd < 0) {
        return fd;
    }
    char line[64] = {};
    iovec data{.iov_base = line, .iov_len = sizeof(line) - 1};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    const ssize_t n = ::recvmsg(fd, &message, MSG_CMSG_CLOEXEC);
    ::close(fd);
    int received = -1;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header != nullptr;
         header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == SOL_SOCKET && header->cmsg_type == SCM_RIGHTS) {
            std::memcpy(&received, CMSG_DATA(header), sizeof(int));
        }
    }
    const std::string answer(line, n > 0 ? static_cast<std::size_t>(n) : 0);
    if (answer.rfind("OK", 0) == 0 && received >= 0) {
        return received;
    }
    if (received >= 0) {
        ::close(received);
    }
    return -errorCode(answer);
}

}  // namespace platform::bluetooth

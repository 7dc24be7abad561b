#include "platform/InstanceSignal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <thread>

namespace platform {

namespace {

void closeFd(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

}  // namespace

InstanceSignal::InstanceSignal(std::filesystem::path path) : m_path(std::move(path)) {}

InstanceSignal::~InstanceSignal() {
    stop();
}

bool InstanceSignal::listen(std::function<void()> onKnock) {
    if (listening()) {
        return true;
    }
    // Whatever lies at the path was left by an earlier holder of the lock: replace it.
    ::unlink(m_path.c_str());
    if (::mkfifo(m_path.c_str(), 0600) != 0) {
        return false;
    }
    m_pipe = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    m_keepOpen = ::open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    m_stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_pipe < 0 || m_keepOpen < 0 || m_stop < 0) {
        closeFd(m_pipe);
        closeFd(m_keepOpen);
        closeFd(m_stop);
        ::unlink(m_path.c_str());
        return false;
    }
    m_thread = std::thread([this, onKnock = std::move(onKnock)] { listenLoop(onKnock); });
    return true;
}

void InstanceSignal::listenLoop(std::function<void()> onKnock) {
    for (;;) {
        pollfd watched[2] = {{m_pipe, POLLIN, 0}, {m_stop, POLLIN, 0}};
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if ((watched[1].revents & POLLIN) != 0) {
            return;
        }
        if ((watched[0].revents & POLLIN) != 0) {
            char knocks[64];
            bool knocked = false;
            while (::read(m_pipe, knocks, sizeof(knocks)) > 0) {
                knocked = true;
            }
            if (knocked && onKnock) {
                onKnock();
            }
        }
    }
}

void InstanceSignal::stop() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_stop, &one, sizeof(one));
        m_thread.join();
        ::unlink(m_path.c_str());
        ::unlink(answerPath(m_path).c_str());
    }
    closeFd(m_pipe);
    closeFd(m_keepOpen);
    closeFd(m_stop);
}

bool InstanceSignal::knock(const std::filesystem::path& path) {
    // Without a reader the open fails (ENXIO), so a stale pipe never blocks a second start.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool sent = false;
    if (::fstat(fd, &info) == 0 && S_ISFIFO(info.st_mode)) {
        const char knock = '!';
        sent = ::write(fd, &knock, 1) == 1;
    }
    ::close(fd);
    return sent;
}

std::filesystem::path InstanceSignal::answerPath(const std::filesystem::path& pipe) {
    return pipe.string() + ".shown";
}

std::string InstanceSignal::readAnswer(const std::filesystem::path& pipe) {
    const int fd = ::open(answerPath(pipe).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return {};
    }
    char text[64];
    const ssize_t length = ::read(fd, text, sizeof(text));
    ::close(fd);
    return length > 0 ? std::string(text, static_cast<std::size_t>(length)) : std::string();
}

void InstanceSignal::answerWindowShown() {
    // A token no earlier answer used: the process and a clock that only moves forward.
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const std::string token =
        std::to_string(::getpid()) + ":" +
        std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    const int fd = ::open(answerPath(m_path).c_str(),
                          O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return;
    }
    [[maybe_unused]] const ssize_t written = ::write(fd, token.data(), token.size());
    ::close(fd);
}

InstanceSignal::KnockResult InstanceSignal::knockAndWait(const std::filesystem::path& path,
                                                         std::chrono::milliseconds wait) {
    const std::string before = readAnswer(path);
    if (!knock(path)) {
        return KnockResult::NobodyListens;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const std::string now = readAnswer(path);
        if (!now.empty() && now != before) {
            return KnockResult::WindowShown;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return KnockResult::NoAnswer;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace platform

#include "services/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/Paths.h"

namespace services {
namespace {

bool writeAll(int fd, std::string_view content) {
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

// Flushes the folder's entry for a file just renamed into it, so the new name survives a crash.
void syncFolder(const std::filesystem::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

bool AtomicFile::write(const std::filesystem::path& path, std::string_view content) {
    // Only into a private folder named in full: never the working folder by accident.
    const std::filesystem::path folder = path.parent_path();
    if (!path.is_absolute() || !platform::paths::ensurePrivateFolder(folder)) {
        return false;
    }
    // mkstemp picks an unused name, so two writers never share a temporary file.
    std::string temporary = path.string() + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool ok = ::fchmod(fd, 0600) == 0 && writeAll(fd, content) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && std::rename(temporary.c_str(), path.c_str()) == 0) {
        syncFolder(folder);
        return true;
    }
    ::unlink(temporary.c_str());
    return false;
}

bool AtomicFile::read(const std::filesystem::path& path, std::string& content, std::uintmax_t limit,
                      std::string* why) {
    const auto refuse = [&](const std::string& reason) {
        if (why != nullptr) {
            *why = reason;
        }
        return false;
    };
    // Not blocking: opening a named pipe without a writer would otherwise wait for one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return refuse(std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return refuse(std::strerror(error));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return refuse(S_ISDIR(info.st_mode)
                          ? "it is a folder"
                          : "it is not a regular file (a pipe, device or socket)");
    }
    if (static_cast<std::uintmax_t>(info.st_size) > limit) {
        ::close(fd);
        return refuse("it is larger than " + std::to_string(limit) + " bytes");
    }
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            return refuse(std::strerror(error));
        }
        if (got == 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > limit) {
            ::close(fd);
            return refuse("it is larger than " + std::to_string(limit) + " bytes");
        }
    }
    ::close(fd);
    content = std::move(text);
    return true;
}

}  // namespace services

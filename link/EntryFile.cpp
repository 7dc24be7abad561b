#include "link/EntryFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "fota/FragmentReader.h"

EntryFile::~EntryFile() {
    close();
}

bool EntryFile::read(const std::string& path, uint64_t position, std::size_t count, uint8_t* out) {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0 && m_path != path) {
        closeLocked();
    }
    if (m_fd < 0) {
        m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        m_path = path;
    }
    if (m_fd >= 0 && readHeld(position, count, out)) {
        return true;
    }
    // The held file failed (or would not open): the attempts of the fresh-opening reader
    // decide, and the file is opened anew for the next fragment.
    closeLocked();
    return fota::FragmentReader::read(path, position, count, out);
}

bool EntryFile::readHeld(uint64_t position, std::size_t count, uint8_t* out) {
    const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
    if (count > limit || position > limit - count) {
        return false;
    }
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got =
            ::pread(m_fd, out + done, count - done, static_cast<off_t>(position + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(got);
    }
    return true;
}

void EntryFile::close() {
    std::lock_guard lock(m_mutex);
    closeLocked();
}

bool EntryFile::isOpen() const {
    std::lock_guard lock(m_mutex);
    return m_fd >= 0;
}

void EntryFile::closeLocked() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = -1;
    m_path.clear();
}

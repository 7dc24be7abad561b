#include "fota/PackageWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <system_error>

#include "fota/Crc32.h"

namespace fota {
namespace {

// Writes all of data to fd; false (errno set) when a write fails.
bool writeAll(int fd, const std::vector<uint8_t>& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t written = ::write(fd, data.data() + done, data.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Why path must not be replaced by a regular file (a device, a pipe, a socket or a folder that
// a rename would throw away); empty when it is missing or a regular file.
base::Error refusalToReplace(const std::filesystem::path& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT ? base::Error() : base::Error(std::strerror(errno), errno);
    }
    if (S_ISREG(info.st_mode)) {
        return {};
    }
    return base::Error(std::string("it exists and is not a regular file (") +
                       (S_ISDIR(info.st_mode) ? "a folder" : "a device, pipe or socket") + ")");
}

// Makes a rename in folder durable: the folder's own entry list reaches the disk.
void flushFolder(const std::filesystem::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Mode of a freshly created file: what the user's umask lets through of rw-rw-rw-.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

void PackageWriter::addEntry(uint32_t id, std::vector<uint8_t> data) {
    m_entries.push_back({id, std::move(data)});
}

std::vector<EntryRecord> PackageWriter::records() const {
    std::vector<EntryRecord> records;
    uint64_t offset = kHeaderSize + kEntryRecordSize * m_entries.size();
    for (const Entry& entry : m_entries) {
        records.push_back({entry.id, crc32(entry.data.data(), entry.data.size()),
                           static_cast<uint32_t>(offset),
                           static_cast<uint32_t>(entry.data.size())});
        offset += entry.data.size();
    }
    return records;
}

base::Error PackageWriter::make(std::vector<uint8_t>& package) const {
    if (m_entries.empty()) {
        return base::Error("a package needs at least one entry");
    }
    uint64_t length = kHeaderSize + kEntryRecordSize * m_entries.size() + kFileCrcSize;
    for (const Entry& entry : m_entries) {
        length += entry.data.size();
    }
    if (length > std::numeric_limits<uint32_t>::max()) {
        return base::Error(
            "the package would be larger than 4 GiB, which its offsets cannot state");
    }
    package.assign(static_cast<std::size_t>(length), 0);
    const PackageHeader header{kMagicNumber, static_cast<uint32_t>(length),
                               static_cast<uint32_t>(m_entries.size())};
    encodeHeader(header, package.data());
    const std::vector<EntryRecord> table = records();
    for (std::size_t i = 0; i < table.size(); ++i) {
        encodeEntry(table[i], package.data() + kHeaderSize + i * kEntryRecordSize);
        std::copy(m_entries[i].data.begin(), m_entries[i].data.end(),
                  package.begin() + table[i].offset);
    }
    const std::size_t crcAt = package.size() - kFileCrcSize;
    writeLE32(package.data() + crcAt, crc32(package.data(), crcAt));
    return {};
}

base::Error PackageWriter::save(const std::filesystem::path& path) const {
    std::vector<uint8_t> package;
    if (base::Error error = make(package)) {
        return error;
    }
    const std::string step = "cannot write " + path.string();
    if (base::Error refusal = refusalToReplace(path)) {
        return std::move(refusal).within(step);
    }
    // A fresh, never-before-existing file beside the target: nobody else's file or link is
    // written through, and the rename stays within one file system.
    const std::filesystem::path folder = path.parent_path();
    std::string pattern = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        return base::Error(std::strerror(errno), errno).within(step);
    }
    const std::filesystem::path temporary = pattern;
    const bool written =
        ::fchmod(fd, newFileMode()) == 0 && writeAll(fd, package) && ::fsync(fd) == 0;
    const int writeErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        const int cause = written ? errno : writeErrno;
        return base::Error(std::strerror(cause), cause).within(step);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int renameErrno = errno;
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        return base::Error(std::strerror(renameErrno), renameErrno).within(step);
    }
    flushFolder(folder);
    return {};
}

}  // namespace fota

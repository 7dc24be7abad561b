#include "fota/FragmentReader.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "base/Log.h"

namespace fota {
namespace {

enum class Attempt { NotOpened, Failed, Read };

Attempt readOnce(const std::string& path, uint64_t position, std::size_t count, uint8_t* out) {
    // open, pread and close: three system calls per fragment, no stream buffer to allocate and
    // no separate seek (the transfer reads hundreds of fragments per MiB).
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return Attempt::NotOpened;
    }
    const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
    bool whole = count <= limit && position <= limit - count;
    std::size_t done = 0;
    while (whole && done < count) {
        const ssize_t got =
            ::pread(fd, out + done, count - done, static_cast<off_t>(position + done));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        // An error or the end of the file before the whole fragment.
        whole = got > 0;
        done += whole ? static_cast<std::size_t>(got) : 0;
    }
    ::close(fd);
    return whole ? Attempt::Read : Attempt::Failed;
}

}  // namespace

bool FragmentReader::read(const std::string& path, uint64_t position, std::size_t count,
                          uint8_t* out) {
    for (int left = kAttempts - 1; left >= 0; --left) {
        switch (readOnce(path, position, count, out)) {
            case Attempt::Read:
                return true;
            case Attempt::NotOpened:
                _Log(LOG_WARNING, "FragmentReader::read", __LINE__,
                     "cannot open %s; attempts left %d", path.c_str(), left);
                break;
            case Attempt::Failed:
                _Log(LOG_WARNING, "FragmentReader::read", __LINE__, "RAF fail %d", left);
                break;
        }
    }
    return false;
}

}  // namespace fota

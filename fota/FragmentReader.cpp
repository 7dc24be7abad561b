#include "fota/FragmentReader.h"

#include <stdio.h>

#include <cstdio>
#include <limits>

#include "base/Log.h"

namespace fota {
namespace {

enum class Attempt { NotOpened, Failed, Read };

Attempt readOnce(const std::string& path, uint64_t position, std::size_t count, uint8_t* out) {
    std::FILE* file = std::fopen(path.c_str(), "rbe");
    if (file == nullptr) {
        return Attempt::NotOpened;
    }
    // Unbuffered: one read of exactly the fragment, no larger read-ahead.
    std::setvbuf(file, nullptr, _IONBF, 0);
    bool whole = position <= static_cast<uint64_t>(std::numeric_limits<off_t>::max()) &&
                 ::fseeko(file, static_cast<off_t>(position), SEEK_SET) == 0;
    whole = whole && std::fread(out, 1, count, file) == count;
    std::fclose(file);
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

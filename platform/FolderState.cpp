#include "platform/FolderState.h"

#include <sys/stat.h>
#include <unistd.h>

namespace platform::paths {

FolderState folderState(const std::filesystem::path& folder) {
    FolderState state;
    struct stat info {};
    if (folder.empty() || ::stat(folder.c_str(), &info) != 0) {
        return state;
    }
    state.exists = true;
    state.isFolder = S_ISDIR(info.st_mode);
    state.ownedByUs = info.st_uid == ::getuid();
    state.mode = info.st_mode & 07777;
    state.privateToUs = (info.st_mode & 077) == 0;
    state.writable = ::access(folder.c_str(), W_OK | X_OK) == 0;
    return state;
}

}  // namespace platform::paths

#pragma once

#include <filesystem>

namespace platform::paths {

// How one of our folders stands, as far as keeping private files in it goes.
struct FolderState {
    bool exists = false;
    bool isFolder = false;
    bool ownedByUs = false;
    bool privateToUs = false;  // nobody else may read, write or enter it (mode 0700 or less)
    bool writable = false;     // this user may create files in it
    unsigned mode = 0;         // the permission bits
};

FolderState folderState(const std::filesystem::path& folder);

}  // namespace platform::paths

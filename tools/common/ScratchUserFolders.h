#pragma once

#include <filesystem>

namespace tools {

// The screenshot tools put the program's screens into every state they show (update badges,
// last-update dates, flags), and those states are stored in the user's folders. So that a tool
// run leaves the user's own settings, downloads and log as they were, the tool works in folders
// of its own: a private temporary folder stands in for each of AURALIS_CONFIG_DIR,
// AURALIS_TEMP_DIR and AURALIS_LOG_DIR that is not set already, and goes when the tool ends.
class ScratchUserFolders {
public:
    ScratchUserFolders();
    ~ScratchUserFolders();
    ScratchUserFolders(const ScratchUserFolders&) = delete;
    ScratchUserFolders& operator=(const ScratchUserFolders&) = delete;

    // Empty when every folder was set already, or no temporary folder could be made (the tool
    // then works where the environment says, as the program would).
    const std::filesystem::path& root() const { return m_root; }

private:
    std::filesystem::path m_root;
};

}  // namespace tools

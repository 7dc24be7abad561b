#include "platform/Process.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <thread>

extern char** environ;

namespace platform::process {
namespace {

// Owns the attribute and file-action objects of one posix_spawn call.
class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawnattr_init(&m_attr);
        posix_spawn_file_actions_init(&m_actions);
        // A session of its own: the child outlives us and ignores our terminal's signals.
        posix_spawnattr_setflags(&m_attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK);
        sigset_t none;
        sigemptyset(&none);
        posix_spawnattr_setsigmask(&m_attr, &none);
        // Only stdin, stdout and stderr cross over; sockets, lock files and windows stay ours.
        posix_spawn_file_actions_addclosefrom_np(&m_actions, 3);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&m_actions);
        posix_spawnattr_destroy(&m_attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    const posix_spawnattr_t* attr() const { return &m_attr; }
    const posix_spawn_file_actions_t* actions() const { return &m_actions; }

private:
    posix_spawnattr_t m_attr;
    posix_spawn_file_actions_t m_actions;
};

}  // namespace

bool spawn(const std::string& path, const std::vector<std::string>& args) {
    if (path.empty()) {
        return false;
    }
    std::vector<char*> argv;
    argv.reserve(args.size() + 2);
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);

    SpawnSetup setup;
    pid_t pid = 0;
    // glibc's posix_spawn reports a failed exec as its result, so a missing program fails here.
    if (posix_spawnp(&pid, path.c_str(), setup.actions(), setup.attr(), argv.data(), environ) !=
        0) {
        return false;
    }
    // Reap the child when it ends so it never lingers as a zombie while we run.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

bool openUrl(const std::string& url) {
    const char* replacement = std::getenv("AURALIS_OPEN_URL");
    const std::string opener =
        (replacement != nullptr && replacement[0] != '\0') ? replacement : "xdg-open";
    return spawn(opener, {url});
}

}  // namespace platform::process

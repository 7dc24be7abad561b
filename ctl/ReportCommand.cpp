#include "ctl/ReportCommand.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <system_error>

#include "auralis/Version.h"
#include "ctl/DoctorCommand.h"
#include "ctl/Output.h"
#include "ctl/ReportSettings.h"
#include "platform/CapturedRun.h"
#include "platform/Paths.h"

namespace ctl {
namespace {

namespace fs = std::filesystem;
using platform::process::runCaptured;

constexpr auto kToolTimeout = std::chrono::seconds(10);
constexpr auto kArchiveTimeout = std::chrono::seconds(60);
// The end of each log is what a report needs; older lines stay out.
constexpr std::uintmax_t kLogTailBytes = 2 * 1024 * 1024;

// The packages whose versions matter to a report: the libraries the programs link and the
// system services they talk to.
const char* const kPackages[] = {"bluez",          "dbus",          "libsdbus-c++1",
                                 "libcurl4",       "libsdl2-2.0-0", "libcairo2",
                                 "libpango-1.0-0", "libtinyxml2-9", "libc6"};

std::string readWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The last bytes of a file, from the start of a line.
std::string readTail(const fs::path& file, std::uintmax_t bytes) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    std::ifstream in(file, std::ios::binary);
    if (error || !in) {
        return {};
    }
    if (size > bytes) {
        in.seekg(static_cast<std::streamoff>(size - bytes));
        std::string skipped;
        std::getline(in, skipped);
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string defaultName() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[64];
    std::strftime(text, sizeof(text), "auralis-report-%Y%m%d-%H%M%S.tar.gz", &local);
    return text;
}

// The files of the report in a private staging folder, by their names in the archive.
class Staging {
public:
    explicit Staging(fs::path folder) : m_folder(std::move(folder)) {}
    ~Staging() {
        std::error_code ignored;
        fs::remove_all(m_folder, ignored);
    }
    Staging(const Staging&) = delete;
    Staging& operator=(const Staging&) = delete;

    bool add(const std::string& name, const std::string& text) {
        const fs::path file = m_folder / name;
        std::error_code error;
        fs::create_directories(file.parent_path(), error);
        std::ofstream out(file, std::ios::binary);
        out << text;
        if (!out) {
            return false;
        }
        m_names.push_back(name);
        return true;
    }
    const fs::path& folder() const { return m_folder; }
    const std::vector<std::string>& names() const { return m_names; }

private:
    fs::path m_folder;
    std::vector<std::string> m_names;
};

std::string doctorLines() {
    const DoctorChecks checks = runDoctorChecks(std::nullopt);
    std::string text;
    for (const DoctorCheck& check : checks) {
        text += check.toJson().dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
    }
    return text + doctorSummary(checks).dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string versions() {
    std::string text = std::string("Auralis Manager programs ") + AURALIS_VERSION + "\n\n";
    std::vector<std::string> args = {"-W", "-f", "${Package} ${Version}\\n"};
    args.insert(args.end(), std::begin(kPackages), std::end(kPackages));
    const auto run = runCaptured("dpkg-query", args, kToolTimeout);
    if (!run.started) {
        return text + "(no package database: dpkg-query is missing)\n";
    }
    text += run.output;
    for (const char* package : kPackages) {
        if (run.output.find(std::string(package) + " ") == std::string::npos) {
            text += std::string(package) + " not installed\n";
        }
    }
    return text;
}

std::string systemText() {
    std::string text = readWhole("/etc/os-release");
    const auto kernel = runCaptured("uname", {"-srvmo"}, kToolTimeout);
    text += "\nkernel: " + (kernel.started ? kernel.output : std::string("unknown\n"));
    for (const char* name : {"XDG_CURRENT_DESKTOP", "XDG_SESSION_TYPE", "LANG"}) {
        const char* value = std::getenv(name);
        text += std::string(name) + "=" + (value != nullptr ? value : "") + "\n";
    }
    return text;
}

void addLogs(Staging& staging) {
    const fs::path folder = platform::paths::logFolder();
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        const bool log = name.size() > 4 && name.ends_with(".log");
        const bool frames = name.find(".frames.txt") != std::string::npos;
        if (!it->is_regular_file() || (!log && !frames)) {
            continue;
        }
        staging.add((frames ? "frames/" : "logs/") + name, readTail(it->path(), kLogTailBytes));
    }
}

void addSettings(Staging& staging) {
    const fs::path folder = platform::paths::userFolder();
    const char* home = std::getenv("HOME");
    const std::string settings = readWhole(folder / "setting.xml");
    if (!settings.empty()) {
        staging.add("settings/setting.xml", reportSettings(settings, home != nullptr ? home : ""));
    }
    const std::string flags = readWhole(folder / "flags.json");
    if (!flags.empty()) {
        staging.add("settings/flags.json", flags);
    }
}

int fail(Output& output, const std::string& text) {
    output.error(text);
    output.object({{"error", text}});
    return kExitFailure;
}

int runReport(const Invocation& invocation, Output& output) {
    const fs::path target = fs::absolute(invocation.args.empty() ? fs::path(defaultName())
                                                                 : fs::path(invocation.args[0]));
    const fs::path temp = platform::paths::tempFolder();
    if (temp.empty() || !platform::paths::ensurePrivateFolder(temp)) {
        return fail(output, "no private temporary folder to put the report together in");
    }
    Staging staging(temp / ("report-" + std::to_string(::getpid())));
    std::error_code error;
    fs::remove_all(staging.folder(), error);
    if (!platform::paths::ensurePrivateFolder(staging.folder())) {
        return fail(output, "cannot make " + staging.folder().string());
    }
    bool written = staging.add("doctor.json", doctorLines()) &&
                   staging.add("versions.txt", versions()) &&
                   staging.add("system.txt", systemText());
    addLogs(staging);
    addSettings(staging);
    std::vector<std::string> args = {"-czf", target.string() + ".part", "-C",
                                     staging.folder().string(), "--"};
    args.insert(args.end(), staging.names().begin(), staging.names().end());
    const auto tar = runCaptured("tar", args, kArchiveTimeout);
    written = written && tar.succeeded();
    if (written) {
        fs::rename(target.string() + ".part", target, error);
        written = !error;
        // Logs and settings are the user's own: the archive is theirs alone until they share it.
        fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write, error);
    }
    if (!written) {
        fs::remove(target.string() + ".part", error);
        return fail(output, "could not write " + target.string() +
                                (tar.started ? "" : " (the program tar is missing)"));
    }
    const std::uintmax_t bytes = fs::file_size(target, error);
    output.object({{"event", "report"},
                   {"path", target.string()},
                   {"bytes", bytes},
                   {"contents", staging.names()}});
    output.line("Wrote " + target.string() + " (" + std::to_string(bytes) + " bytes). It holds:");
    for (const std::string& name : staging.names()) {
        output.line("  " + name);
    }
    output.line("Nothing was sent anywhere: attach the file to your bug report.");
    return kExitSuccess;
}

}  // namespace

void addReportCommand(CommandTable& table) {
    table.add({.words = {"report"},
               .argsUsage = "[FILE]",
               .summary = "write an archive for a bug report (default: auralis-report-DATE.tar.gz "
                          "here); sends nothing",
               .options = {},
               .minArgs = 0,
               .maxArgs = 1,
               .run = runReport});
}

}  // namespace ctl

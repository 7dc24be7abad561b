#include "ctl/ConnectHistory.h"

#include <cerrno>
#include <charconv>
#include <fstream>
#include <sstream>

namespace ctl {
namespace {

constexpr std::string_view kConnecting = "Connecting device [";
constexpr std::string_view kConnectRet = "Connect Ret = ";
constexpr std::string_view kConnectError = "Connect Error:[";
// Lines begin with "YYYY-MM-DD HH:MM:SS".
constexpr std::size_t kTimeLength = 19;
// A log is at most a few MiB; reading more of one is never needed.
constexpr std::streamsize kMaxLogBytes = 16 * 1024 * 1024;

std::optional<int> numberAt(const std::string& line, std::size_t from) {
    int value = 0;
    const char* end = line.data() + line.size();
    const auto [next, error] = std::from_chars(line.data() + from, end, value);
    if (error != std::errc()) {
        return std::nullopt;
    }
    return value;
}

std::string readLimited(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<std::size_t>(kMaxLogBytes), '\0');
    in.read(text.data(), kMaxLogBytes);
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

}  // namespace

ConnectHistory ConnectHistory::read(const std::filesystem::path& folder) {
    ConnectHistory history;
    for (const char* program : {"AuralisManager", "auralis-ctl"}) {
        // Oldest first, so later lines replace earlier ones.
        for (const std::string suffix : {".1.log", ".log"}) {
            history.addLog(program, readLimited(folder / (program + suffix)));
        }
    }
    return history;
}

void ConnectHistory::addLog(const std::string& program, const std::string& text) {
    std::istringstream lines(text);
    std::string line;
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t open = kNone;  // the entry of the attempt under way in this log
    while (std::getline(lines, line)) {
        const std::string time = line.substr(0, std::min(kTimeLength, line.size()));
        if (const std::size_t at = line.find(kConnecting); at != std::string::npos) {
            const std::size_t from = at + kConnecting.size();
            const std::size_t end = line.rfind("]....");
            if (end == std::string::npos || end < from) {
                continue;
            }
            m_entries.push_back({line.substr(from, end - from), {time, program, -1, {}}});
            open = m_entries.size() - 1;
        } else if (const std::size_t ret = line.find(kConnectRet);
                   ret != std::string::npos && open != kNone) {
            const std::optional<int> code = numberAt(line, ret + kConnectRet.size());
            m_entries[open].attempt.code = code.value_or(-1);
            m_entries[open].attempt.time = time;
            if (code.value_or(-1) == 0) {
                open = kNone;
            }
        } else if (const std::size_t err = line.find(kConnectError);
                   err != std::string::npos && open != kNone) {
            const std::size_t textStart = line.find("] [", err);
            const std::size_t textEnd = line.find("] service", err);
            if (textStart != std::string::npos && textEnd != std::string::npos &&
                textEnd > textStart) {
                m_entries[open].attempt.text = line.substr(textStart + 3, textEnd - textStart - 3);
            }
            open = kNone;
        }
    }
}

std::optional<ConnectAttempt> ConnectHistory::lastFor(const std::string& name) const {
    std::optional<ConnectAttempt> last;
    for (const Entry& entry : m_entries) {
        if (entry.name == name && entry.attempt.code != -1 &&
            (!last || entry.attempt.time >= last->time)) {
            last = entry.attempt;
        }
    }
    return last;
}

std::string ConnectHistory::plainWords(int code) {
    switch (code) {
        case 0:
            return "connected";
        case ECONNREFUSED:
            return "the earbuds did not accept a link to the serial-port service";
        case EACCES:
            return "the earbuds are not paired with this computer";
        case EHOSTDOWN:
            return "the earbuds were out of range or switched off";
        case EBUSY:
            return "the earbuds already had a link (to this or another program)";
        case ETIMEDOUT:
            return "the earbuds did not answer in time";
        case ENODEV:
            return "there was no Bluetooth radio, or it was switched off";
        case ENOSYS:
            return "Bluetooth was not available to the program";
        case ENOENT:
            return "BlueZ could not be reached";
        case EPROTO:
            return "BlueZ gave an answer that made no sense";
        default:
            return "error " + std::to_string(code);
    }
}

}  // namespace ctl

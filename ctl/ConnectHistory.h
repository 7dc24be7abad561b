#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace ctl {

// The last connect attempt the programs' logs tell about a pair of earbuds.
struct ConnectAttempt {
    std::string time;     // "2026-12-09 06:40:12", as the log wrote it
    std::string program;  // the log it came from: "AuralisManager", "auralis-ctl"
    int code = 0;         // 0: connected; else the error code the link logged
    std::string text;     // the error's text as logged
};

// Reads the device link's log lines ("Connecting device [NAME]....", then "Connect Ret = N" and,
// on failure, "Connect Error:[N] [text] ...") in the logs of the programs that connect.
class ConnectHistory {
public:
    // The logs below folder: <program>.log and the rotated <program>.1.log of each program.
    static ConnectHistory read(const std::filesystem::path& folder);
    // From one log's text (tests).
    void addLog(const std::string& program, const std::string& text);

    // The latest attempt on the earbuds of that name; empty when the logs name none.
    std::optional<ConnectAttempt> lastFor(const std::string& name) const;

    // What a code means for people: "the earbuds offer no such service", ...
    static std::string plainWords(int code);

private:
    struct Entry {
        std::string name;
        ConnectAttempt attempt;
    };
    std::vector<Entry> m_entries;
};

}  // namespace ctl

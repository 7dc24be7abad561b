#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <span>
#include <string>

namespace sim {

// A record of every frame the virtual devices received and sent, one file per device
// (<folder>/AA_BB_CC_DD_EE_FF.log), one line per frame:
//   2024-05-01T12:00:00.123 RECV FD 03 00 29 4B B5 DD
// Direction words: RECV (a frame the earbuds received), SENT (a frame they sent), JUNK (received
// bytes that formed no frame), NOTE (link events such as connect and disconnect).
// Without a folder nothing is written. Safe to use from several threads.
class Transcript {
public:
    enum class Direction { Received, Sent, Junk };

    explicit Transcript(std::filesystem::path folder);
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    bool enabled() const { return !m_folder.empty(); }
    std::filesystem::path fileFor(uint64_t address) const;

    void record(uint64_t address, Direction direction, std::span<const uint8_t> bytes);
    void note(uint64_t address, const std::string& text);

    static std::string hex(std::span<const uint8_t> bytes);

private:
    void writeLine(uint64_t address, const std::string& line);
    static std::string timestamp();

    std::filesystem::path m_folder;
    std::mutex m_mutex;
    std::map<uint64_t, std::FILE*> m_files;
};

}  // namespace sim

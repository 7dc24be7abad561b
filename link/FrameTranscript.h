#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>

namespace devlink {

// Every byte of the last link session, both ways, as a hex transcript for bug reports: one line
// per frame sent and per piece received, "+SECONDS SENT|RECV <count>: xx xx ...", after a
// header naming the earbuds. A new session replaces the previous one's transcript. The
// transcript stays bounded: when the file reaches kPartBytes it becomes <file>.1 (replacing the
// older part) and a new part begins, so at most twice that stays on disk. Lines are written as
// they come (line-buffered), so a report made meanwhile, or after a crash, has them all.
class FrameTranscript {
public:
    static constexpr std::size_t kPartBytes = 512 * 1024;

    // The program's transcript in the log folder: <program>.frames.txt (none without a log
    // folder).
    static FrameTranscript& shared();

    explicit FrameTranscript(std::filesystem::path file, std::size_t partBytes = kPartBytes);
    ~FrameTranscript();
    FrameTranscript(const FrameTranscript&) = delete;
    FrameTranscript& operator=(const FrameTranscript&) = delete;

    // Starts a session's transcript (removing the last session's parts).
    void beginSession(const std::string& peerName, uint64_t address);
    void recordSent(const uint8_t* bytes, std::size_t count) { record("SENT", bytes, count); }
    void recordReceived(const uint8_t* bytes, std::size_t count) { record("RECV", bytes, count); }

    const std::filesystem::path& file() const { return m_file; }
    std::filesystem::path olderPart() const;

private:
    void record(const char* direction, const uint8_t* bytes, std::size_t count);
    void write(const std::string& text);
    void closeFile();
    void openFile();

    const std::filesystem::path m_file;
    const std::size_t m_partBytes;
    std::mutex m_mutex;
    std::FILE* m_out = nullptr;
    std::size_t m_written = 0;
    std::chrono::steady_clock::time_point m_start;
    std::string m_line;
};

}  // namespace devlink

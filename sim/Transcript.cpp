#include "sim/Transcript.h"

#include <chrono>
#include <ctime>
#include <system_error>

#include "base/Log.h"
#include "sim/DeviceAddress.h"

namespace sim {

Transcript::Transcript(std::filesystem::path folder) : m_folder(std::move(folder)) {
    if (!m_folder.empty()) {
        std::error_code error;
        std::filesystem::create_directories(m_folder, error);
    }
}

Transcript::~Transcript() {
    for (auto& [address, file] : m_files) {
        std::fclose(file);
    }
}

std::filesystem::path Transcript::fileFor(uint64_t address) const {
    return m_folder / (DeviceAddress::fileStem(address) + ".log");
}

void Transcript::record(uint64_t address, Direction direction, std::span<const uint8_t> bytes) {
    if (!enabled()) {
        return;
    }
    const char* word = direction == Direction::Received ? "RECV"
                       : direction == Direction::Sent   ? "SENT"
                                                        : "JUNK";
    writeLine(address, timestamp() + " " + word + " " + hex(bytes));
}

void Transcript::note(uint64_t address, const std::string& text) {
    if (enabled()) {
        writeLine(address, timestamp() + " NOTE " + text);
    }
}

std::string Transcript::hex(std::span<const uint8_t> bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0xF];
    }
    return text;
}

void Transcript::writeLine(uint64_t address, const std::string& line) {
    std::lock_guard lock(m_mutex);
    std::FILE*& file = m_files[address];
    if (file == nullptr) {
        file = std::fopen(fileFor(address).c_str(), "a");
        if (file == nullptr) {
            m_files.erase(address);
            _Log(LOG_WARNING, "Transcript::writeLine", __LINE__, "cannot open %s",
                 fileFor(address).c_str());
            return;
        }
    }
    std::fputs(line.c_str(), file);
    std::fputc('\n', file);
    // Tests read the file while the sim runs; every line is complete on disk at once.
    std::fflush(file);
}

std::string Transcript::timestamp() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(now);
    const auto millis = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(text + length, sizeof(text) - length, ".%03d", static_cast<int>(millis));
    return text;
}

}  // namespace sim

#include "link/FrameTranscript.h"

#include <system_error>

#include "platform/Paths.h"
#include "platform/bluetooth/BluetoothAddress.h"

namespace devlink {
namespace {

void appendHex(std::string& out, const uint8_t* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < count; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
        out += ' ';
    }
}

std::filesystem::path sharedFile() {
    const std::filesystem::path folder = platform::paths::logFolder();
    const std::string program = platform::paths::executablePath().filename().string();
    if (folder.empty() || program.empty()) {
        return {};
    }
    return folder / (program + ".frames.txt");
}

}  // namespace

FrameTranscript& FrameTranscript::shared() {
    static FrameTranscript transcript(sharedFile());
    return transcript;
}

FrameTranscript::FrameTranscript(std::filesystem::path file, std::size_t partBytes)
    : m_file(std::move(file)), m_partBytes(partBytes) {}

FrameTranscript::~FrameTranscript() {
    std::lock_guard lock(m_mutex);
    closeFile();
}

std::filesystem::path FrameTranscript::olderPart() const {
    return m_file.empty() ? m_file : std::filesystem::path(m_file.string() + ".1");
}

void FrameTranscript::closeFile() {
    if (m_out != nullptr) {
        std::fclose(m_out);
        m_out = nullptr;
    }
}

void FrameTranscript::openFile() {
    m_out = std::fopen(m_file.c_str(), "we");
    m_written = 0;
    if (m_out != nullptr) {
        std::setvbuf(m_out, nullptr, _IOLBF, 0);
    }
}

void FrameTranscript::beginSession(const std::string& peerName, uint64_t address) {
    std::lock_guard lock(m_mutex);
    closeFile();
    if (m_file.empty() || !platform::paths::ensurePrivateFolder(m_file.parent_path())) {
        return;
    }
    std::error_code ignored;
    std::filesystem::remove(olderPart(), ignored);
    openFile();
    m_start = std::chrono::steady_clock::now();
    write("# link session with \"" + peerName + "\" " +
          platform::bluetooth::formatAddress(address) +
          "; SENT: frames to the earbuds, RECV: bytes as they arrived\n");
}

void FrameTranscript::record(const char* direction, const uint8_t* bytes, std::size_t count) {
    std::lock_guard lock(m_mutex);
    if (m_out == nullptr) {
        return;
    }
    const auto elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start);
    char head[64];
    std::snprintf(head, sizeof(head), "+%.3f %s %zu: ", elapsed.count(), direction, count);
    m_line.assign(head);
    appendHex(m_line, bytes, count);
    m_line.back() = '\n';
    write(m_line);
}

void FrameTranscript::write(const std::string& text) {
    if (m_written + text.size() > m_partBytes && m_written > 0) {
        // The part is full: it becomes the older part and a new one begins.
        closeFile();
        std::error_code ignored;
        std::filesystem::rename(m_file, olderPart(), ignored);
        openFile();
    }
    if (m_out != nullptr && std::fwrite(text.data(), 1, text.size(), m_out) == text.size()) {
        m_written += text.size();
    }
}

}  // namespace devlink

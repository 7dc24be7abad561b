#include "base/Log.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <system_error>

#include "platform/Paths.h"

namespace services::log {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto kFlushInterval = std::chrono::milliseconds(200);

class LogFile {
public:
    ~LogFile() { close(); }

    void configure(const Options& options) {
        std::lock_guard lock(m_mutex);
        close();
        m_options = options;
        m_configured = true;
        open();
    }

    void write(int level, const char* text, std::size_t length) {
        std::lock_guard lock(m_mutex);
        if (!m_configured) {
            m_options = defaultOptions();
            m_configured = true;
            open();
        }
        if (m_options.toStderr) {
            std::fwrite(text, 1, length, stderr);
        }
        if (m_file == nullptr) {
            return;
        }
        if (m_written + length > m_options.maxFileBytes) {
            rotate();
            if (m_file == nullptr) {
                return;
            }
        }
        std::fwrite(text, 1, length, m_file);
        m_written += length;
        const auto now = Clock::now();
        if (level >= LOG_WARNING || now - m_lastFlush >= kFlushInterval) {
            std::fflush(m_file);
            m_lastFlush = now;
        }
    }

    void flush() {
        std::lock_guard lock(m_mutex);
        if (m_file != nullptr) {
            std::fflush(m_file);
        }
    }

    fs::path currentFile() {
        std::lock_guard lock(m_mutex);
        return m_file != nullptr ? m_path : fs::path();
    }

private:
    static Options defaultOptions() {
        Options options;
        const char* toStderr = std::getenv("AURALIS_LOG_STDERR");
        options.toStderr = toStderr != nullptr && std::strcmp(toStderr, "1") == 0;
        return options;
    }

    fs::path fileFor(int index) const {
        const std::string suffix = index == 0 ? ".log" : "." + std::to_string(index) + ".log";
        return m_folder / (m_baseName + suffix);
    }

    void open() {
        m_folder = m_options.folder.empty() ? platform::paths::logFolder() : m_options.folder;
        m_baseName = m_options.name;
        if (m_baseName.empty()) {
            m_baseName = platform::paths::executablePath().filename().string();
        }
        if (m_baseName.empty()) {
            m_baseName = "auralis";
        }
        if (!platform::paths::ensurePrivateFolder(m_folder)) {
            return;
        }
        m_path = fileFor(0);
        m_file = std::fopen(m_path.c_str(), "ae");
        if (m_file == nullptr) {
            return;
        }
        std::setvbuf(m_file, nullptr, _IOFBF, 64 * 1024);
        std::error_code error;
        const auto size = fs::file_size(m_path, error);
        m_written = error ? 0 : static_cast<std::size_t>(size);
        m_lastFlush = Clock::now();
    }

    void close() {
        if (m_file != nullptr) {
            std::fclose(m_file);
            m_file = nullptr;
        }
    }

    // <name>.log becomes <name>.1.log, <name>.1.log becomes <name>.2.log, ...; the oldest goes.
    void rotate() {
        close();
        std::error_code error;
        const int kept = m_options.keptFiles < 0 ? 0 : m_options.keptFiles;
        fs::remove(fileFor(kept), error);
        for (int index = kept - 1; index >= 0; --index) {
            fs::rename(fileFor(index), fileFor(index + 1), error);
        }
        fs::remove(fileFor(0), error);
        open();
    }

    std::mutex m_mutex;
    Options m_options;
    bool m_configured = false;
    fs::path m_folder;
    std::string m_baseName;
    fs::path m_path;
    std::FILE* m_file = nullptr;
    std::size_t m_written = 0;
    Clock::time_point m_lastFlush{};
};

LogFile& logFile() {
    // Never destroyed: threads that outlive main() may still log during exit.
    static LogFile* file = [] {
        auto* created = new LogFile();
        std::atexit([] { services::log::flush(); });
        return created;
    }();
    return *file;
}

char levelLetter(int level) {
    switch (level) {
        case LOG_DEBUG:
            return 'D';
        case LOG_INFO:
            return 'I';
        case LOG_NOTICE:
            return 'N';
        case LOG_WARNING:
            return 'W';
        case LOG_ERROR:
            return 'E';
        default:
            return '?';
    }
}

// Appends text to a fixed buffer, silently cutting what does not fit. The line prefix is built
// with it instead of snprintf: the device link logs every frame, and formatting the prefix
// through printf cost more than the message itself.
class PrefixWriter {
public:
    PrefixWriter(char* out, std::size_t size) : m_out(out), m_size(size) {}

    void text(const char* value, std::size_t length) {
        const std::size_t room = m_size - m_length;
        const std::size_t taken = std::min(length, room);
        std::memcpy(m_out + m_length, value, taken);
        m_length += taken;
    }
    void text(const char* value) { text(value, std::strlen(value)); }
    void character(char value) { text(&value, 1); }
    void number(unsigned long value, int minDigits) {
        char digits[24];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0 || count < minDigits);
        while (count > 0) {
            character(digits[--count]);
        }
    }
    std::size_t length() const { return m_length; }

private:
    char* m_out;
    std::size_t m_size;
    std::size_t m_length = 0;
};

// "2026-12-08 05:13:15.123". The date and time part is formatted once per second and per thread.
void writeTimestamp(PrefixWriter& out) {
    thread_local std::time_t cachedSecond = -1;
    thread_local char cachedText[32] = {};
    thread_local std::size_t cachedLength = 0;

    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    if (seconds != cachedSecond) {
        std::tm local{};
        localtime_r(&seconds, &local);
        cachedLength = std::strftime(cachedText, sizeof(cachedText), "%Y-%m-%d %H:%M:%S", &local);
        cachedSecond = seconds;
    }
    out.text(cachedText, cachedLength);
    out.character('.');
    out.number(static_cast<unsigned long>(millis), 3);
}

long currentThreadId() {
    thread_local const long id = static_cast<long>(::syscall(SYS_gettid));
    return id;
}

}  // namespace

void configure(const Options& options) {
    logFile().configure(options);
}

void flush() {
    logFile().flush();
}

fs::path currentFile() {
    return logFile().currentFile();
}

}  // namespace services::log

void _LogV(int level, const char* method, int line, const char* format, va_list args) {
    char stackBuffer[1024];
    std::string heapBuffer;
    char* text = stackBuffer;

    // "<time> [<thread>] <level> <method>:<line> "; at most half the buffer, the rest is the
    // message's.
    services::log::PrefixWriter prefix(text, sizeof(stackBuffer) / 2);
    services::log::writeTimestamp(prefix);
    prefix.text(" [");
    prefix.number(static_cast<unsigned long>(services::log::currentThreadId()), 1);
    prefix.text("] ");
    prefix.character(services::log::levelLetter(level));
    prefix.character(' ');
    prefix.text(method != nullptr ? method : "?");
    prefix.character(':');
    if (line < 0) {
        prefix.character('-');
    }
    prefix.number(static_cast<unsigned long>(line < 0 ? -static_cast<long>(line) : line), 1);
    prefix.character(' ');
    std::size_t length = prefix.length();

    va_list copy;
    va_copy(copy, args);
    const int message = std::vsnprintf(text + length, sizeof(stackBuffer) - length, format, copy);
    va_end(copy);
    if (message < 0) {
        return;
    }
    // One byte for the line break, one for the terminator vsnprintf writes.
    if (length + static_cast<std::size_t>(message) + 2 > sizeof(stackBuffer)) {
        heapBuffer.assign(text, length);
        heapBuffer.resize(length + static_cast<std::size_t>(message) + 2);
        std::vsnprintf(heapBuffer.data() + length, heapBuffer.size() - length, format, args);
        text = heapBuffer.data();
    }
    length += static_cast<std::size_t>(message);
    text[length++] = '\n';
    services::log::logFile().write(level, text, length);
}

void _Log(int level, const char* method, int line, const char* format, ...) {
    va_list args;
    va_start(args, format);
    _LogV(level, method, line, format, args);
    va_end(args);
}

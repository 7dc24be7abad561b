#include "base/Log.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "base/Paths.h"

namespace base::log {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kBufferBytes = 64 * 1024;

bool writeAll(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

// The log file with its own buffer (instead of stdio's) so that a fatal-signal handler can write
// what is buffered with write(2) alone. A background writer flushes lines below warning at most
// Options::flushDelay after the first of them; it sleeps while nothing is waiting.
class LogFile {
public:
    void configure(const Options& options) {
        std::lock_guard lock(m_mutex);
        flushLocked();
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
        if (m_fd.load() < 0) {
            return;
        }
        if (m_written + length > m_options.maxFileBytes) {
            flushLocked();
            rotate();
            if (m_fd.load() < 0) {
                return;
            }
        }
        append(text, length);
        m_written += length;
        if (level >= LOG_WARNING) {
            flushLocked();
        } else if (!m_pending) {
            m_pending = true;
            startWriterOnce();
            m_wake.notify_one();
        }
    }

    void flush() {
        std::lock_guard lock(m_mutex);
        flushLocked();
    }

    // From a signal handler: no lock, no allocation. Lines being appended by another thread at
    // this moment may be cut; everything appended before is written.
    void emergencyFlush() {
        const int fd = m_fd.load();
        const std::size_t used = m_used.load();
        if (fd >= 0 && used > 0 && used <= kBufferBytes) {
            writeAll(fd, m_buffer, used);
            m_used.store(0);
        }
    }

    // From a signal handler, after emergencyFlush: one whole line straight to the file (and to
    // stderr when the log goes there too).
    void emergencyLine(const char* text, std::size_t length) {
        const int fd = m_fd.load();
        if (fd >= 0) {
            writeAll(fd, text, length);
        }
        if (m_options.toStderr) {
            writeAll(STDERR_FILENO, text, length);
        }
    }

    fs::path currentFile() {
        std::lock_guard lock(m_mutex);
        return m_fd.load() >= 0 ? m_path : fs::path();
    }

private:
    static Options defaultOptions() {
        Options options;
        const char* toStderr = std::getenv("AURALIS_LOG_STDERR");
        options.toStderr = toStderr != nullptr && std::strcmp(toStderr, "1") == 0;
        return options;
    }

    void append(const char* text, std::size_t length) {
        if (m_used.load() + length > kBufferBytes) {
            flushLocked();
        }
        if (length > kBufferBytes) {
            writeAll(m_fd.load(), text, length);
            return;
        }
        const std::size_t used = m_used.load();
        std::memcpy(m_buffer + used, text, length);
        m_used.store(used + length);
    }

    void flushLocked() {
        const int fd = m_fd.load();
        const std::size_t used = m_used.load();
        if (fd >= 0 && used > 0) {
            writeAll(fd, m_buffer, used);
        }
        m_used.store(0);
        m_pending = false;
    }

    void startWriterOnce() {
        if (m_writerStarted) {
            return;
        }
        m_writerStarted = true;
        // Detached: the log lives until the process ends, and threads still log during exit.
        std::thread([this] { runWriter(); }).detach();
    }

    void runWriter() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_pending; });
            const auto deadline = std::chrono::steady_clock::now() + m_options.flushDelay;
            m_wake.wait_until(lock, deadline, [this] { return !m_pending; });
            if (m_pending) {
                flushLocked();
            }
        }
    }

    fs::path fileFor(int index) const {
        const std::string suffix = index == 0 ? ".log" : "." + std::to_string(index) + ".log";
        return m_folder / (m_baseName + suffix);
    }

    void open() {
        m_folder = m_options.folder.empty() ? base::paths::logFolder() : m_options.folder;
        m_baseName = m_options.name;
        if (m_baseName.empty()) {
            m_baseName = base::paths::executablePath().filename().string();
        }
        if (m_baseName.empty()) {
            m_baseName = "auralis";
        }
        if (m_folder.empty() || !base::paths::ensurePrivateFolder(m_folder)) {
            refuse("the log folder is missing or not private to this user");
            return;
        }
        m_path = fileFor(0);
        // Never through a symbolic link, never into anything but our own regular file.
        const int fd =
            ::open(m_path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            refuse(std::strerror(errno));
            return;
        }
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
            ::close(fd);
            refuse("not a regular file of this user");
            return;
        }
        m_written = static_cast<std::size_t>(info.st_size);
        m_fd.store(fd);
    }

    void refuse(const char* why) {
        if (!m_refusalShown) {
            m_refusalShown = true;
            std::fprintf(stderr, "log: not writing to %s: %s\n",
                         m_folder.empty() ? "(no private folder)" : m_folder.c_str(), why);
        }
    }

    void close() {
        const int fd = m_fd.exchange(-1);
        if (fd >= 0) {
            ::close(fd);
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
    std::condition_variable m_wake;
    Options m_options;
    bool m_configured = false;
    bool m_pending = false;
    bool m_writerStarted = false;
    bool m_refusalShown = false;
    fs::path m_folder;
    std::string m_baseName;
    fs::path m_path;
    std::atomic<int> m_fd{-1};
    std::atomic<std::size_t> m_used{0};
    char m_buffer[kBufferBytes] = {};
    std::size_t m_written = 0;
};

std::atomic<LogFile*> g_logFile{nullptr};

LogFile& logFile() {
    // Never destroyed: threads that outlive main() may still log during exit.
    static LogFile* file = [] {
        auto* created = new LogFile();
        g_logFile.store(created);
        std::atexit([] { base::log::flush(); });
        return created;
    }();
    return *file;
}

int levelFromEnvironment() {
    const char* text = std::getenv("AURALIS_LOG_LEVEL");
    if (text == nullptr) {
        return LOG_DEBUG;
    }
    const std::optional<int> parsed = parseLevel(text);
    return parsed ? *parsed : LOG_DEBUG;
}

std::atomic<int>& levelCell() {
    static std::atomic<int> cell{levelFromEnvironment()};
    return cell;
}

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTERM};
// The local time's distance from UTC, taken when the handlers are installed: a signal handler
// may not call localtime_r.
std::atomic<long> g_utcOffsetSeconds{0};

std::size_t lastLine(char* out, std::size_t capacity, int signal);
struct sigaction g_previous[std::size(kFatalSignals)];

void onFatalSignal(int signal, siginfo_t* info, void*) {
    const int savedErrno = errno;
    if (LogFile* file = g_logFile.load()) {
        file->emergencyFlush();
        if (levelCell().load(std::memory_order_relaxed) <= LOG_WARNING) {
            char line[160];
            const std::size_t length = lastLine(line, sizeof(line), signal);
            file->emergencyLine(line, length);
        }
    }
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
        if (kFatalSignals[i] == signal) {
            ::sigaction(signal, &g_previous[i], nullptr);
        }
    }
    // A fault repeats when the handler returns and then meets the previous handler; a sent
    // signal is sent again.
    const bool fault =
        info != nullptr && info->si_code > 0 && signal != SIGABRT && signal != SIGTERM;
    if (!fault) {
        ::raise(signal);
    }
    errno = savedErrno;
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

// "YYYY-MM-DD HH:MM:SS.mmm" from the clock alone (no locale, no allocation): safe in a signal
// handler. Days to a civil date as in the well-known days-from-civil inverse.
void writeSignalSafeTimestamp(PrefixWriter& out) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const long long local = static_cast<long long>(now.tv_sec) + g_utcOffsetSeconds.load();
    long long days = local / 86400;
    long long second = local % 86400;
    if (second < 0) {
        second += 86400;
        --days;
    }
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    const long long day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const long long month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    out.number(static_cast<unsigned long>(year), 4);
    out.character('-');
    out.number(static_cast<unsigned long>(month), 2);
    out.character('-');
    out.number(static_cast<unsigned long>(day), 2);
    out.character(' ');
    out.number(static_cast<unsigned long>(second / 3600), 2);
    out.character(':');
    out.number(static_cast<unsigned long>(second / 60 % 60), 2);
    out.character(':');
    out.number(static_cast<unsigned long>(second % 60), 2);
    out.character('.');
    out.number(static_cast<unsigned long>(now.tv_nsec / 1000000), 3);
}

const char* signalName(int signal) {
    switch (signal) {
        case SIGTERM:
            return "SIGTERM";
        case SIGSEGV:
            return "SIGSEGV";
        case SIGBUS:
            return "SIGBUS";
        case SIGFPE:
            return "SIGFPE";
        case SIGILL:
            return "SIGILL";
        case SIGABRT:
            return "SIGABRT";
        default:
            return "a signal";
    }
}

// The line a fatal signal leaves as the log's last: the log then shows how the program ended
// rather than stopping in mid-story.
std::size_t lastLine(char* out, std::size_t capacity, int signal) {
    PrefixWriter line(out, capacity);
    writeSignalSafeTimestamp(line);
    line.text(" [");
    line.number(static_cast<unsigned long>(::syscall(SYS_gettid)), 1);
    line.text("] W log:0 the program ends on signal ");
    line.number(static_cast<unsigned long>(signal), 1);
    line.text(" (");
    line.text(signalName(signal));
    line.text(")\n");
    return line.length();
}

}  // namespace

void configure(const Options& options) {
    logFile().configure(options);
}

int level() {
    return levelCell().load(std::memory_order_relaxed);
}

void setLevel(int value) {
    levelCell().store(std::clamp(value, static_cast<int>(LOG_DEBUG), static_cast<int>(LOG_OFF)),
                      std::memory_order_relaxed);
}

bool isEnabled(int value) {
    return value >= level();
}

std::optional<int> parseLevel(std::string_view text) {
    static constexpr std::string_view kNames[] = {"debug",   "info",  "notice",
                                                  "warning", "error", "off"};
    if (text.size() == 1 && text[0] >= '0' && text[0] <= '5') {
        return text[0] - '0';
    }
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        const bool same = text.size() == kNames[i].size() &&
                          std::equal(text.begin(), text.end(), kNames[i].begin(),
                                     [](char a, char b) { return std::tolower(a) == b; });
        if (same) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

bool applyLevelOption(const std::vector<std::string>& arguments, std::string* error) {
    static constexpr std::string_view kOption = "--log-level";
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        std::optional<std::string_view> value;
        if (argument == kOption) {
            if (i + 1 < arguments.size()) {
                value = arguments[++i];
            }
        } else if (argument.substr(0, kOption.size() + 1) == "--log-level=") {
            value = argument.substr(kOption.size() + 1);
        } else {
            continue;
        }
        const std::optional<int> parsed = value ? parseLevel(*value) : std::nullopt;
        if (!parsed) {
            *error = "--log-level needs one of debug, info, notice, warning, error, off";
            return false;
        }
        setLevel(*parsed);
    }
    return true;
}

void installFatalSignalFlush() {
    static std::once_flag once;
    std::call_once(once, [] {
        logFile();
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        g_utcOffsetSeconds.store(local.tm_gmtoff);
        for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
            struct sigaction action {};
            action.sa_sigaction = &onFatalSignal;
            action.sa_flags = SA_SIGINFO;
            sigemptyset(&action.sa_mask);
            ::sigaction(kFatalSignals[i], &action, &g_previous[i]);
        }
    });
}

void flush() {
    logFile().flush();
}

fs::path currentFile() {
    return logFile().currentFile();
}

}  // namespace base::log

namespace base::log {
namespace {

// Writes "<time> [<thread>] <level> <method>:<line> " into out (at most capacity bytes) and
// returns its length.
std::size_t writePrefix(char* out, std::size_t capacity, int level, const char* method, int line) {
    PrefixWriter prefix(out, capacity);
    writeTimestamp(prefix);
    prefix.text(" [");
    prefix.number(static_cast<unsigned long>(currentThreadId()), 1);
    prefix.text("] ");
    prefix.character(levelLetter(level));
    prefix.character(' ');
    prefix.text(method != nullptr ? method : "?");
    prefix.character(':');
    if (line < 0) {
        prefix.character('-');
    }
    prefix.number(static_cast<unsigned long>(line < 0 ? -static_cast<long>(line) : line), 1);
    prefix.character(' ');
    return prefix.length();
}

constexpr std::size_t kLineBuffer = 1024;

// One log line being built behind its prefix: on the stack while it fits, on the heap beyond.
class LineBuffer {
public:
    // The prefix takes at most half the stack buffer, the rest is the message's.
    LineBuffer(int level, const char* method, int line)
        : m_level(level), m_length(writePrefix(m_stack, kLineBuffer / 2, level, method, line)) {}

    // Where the message goes and how many bytes fit there as things stand.
    char* end() { return m_out + m_length; }
    std::size_t room() const { return (m_out == m_stack ? kLineBuffer : m_heap.size()) - m_length; }
    // Makes room for size bytes after what is written (moving to the heap when the stack is too
    // small); where they go.
    char* reserve(std::size_t size) {
        if (size > room()) {
            m_heap.assign(m_out, m_length);
            m_heap.resize(m_length + size);
            m_out = m_heap.data();
        }
        return end();
    }
    void commit(std::size_t size) { m_length += size; }
    // Ends the line and hands it to the log file; the caller reserved one byte for the break.
    void write() {
        m_out[m_length++] = '\n';
        logFile().write(m_level, m_out, m_length);
    }

private:
    char m_stack[kLineBuffer];
    std::string m_heap;
    char* m_out = m_stack;
    int m_level;
    std::size_t m_length;
};

}  // namespace
}  // namespace base::log

void _LogText(int level, const char* method, int line, std::string_view text) {
    if (!base::log::isEnabled(level)) {
        return;
    }
    base::log::LineBuffer buffer(level, method, line);
    std::memcpy(buffer.reserve(text.size() + 1), text.data(), text.size());
    buffer.commit(text.size());
    buffer.write();
}

void _LogV(int level, const char* method, int line, const char* format, va_list args) {
    if (!base::log::isEnabled(level)) {
        return;
    }
    // Many lines (a good part of those the device link writes for every frame) are fixed texts:
    // those are copied as they stand instead of going through the formatter.
    if (std::strchr(format, '%') == nullptr) {
        _LogText(level, method, line, format);
        return;
    }
    base::log::LineBuffer buffer(level, method, line);
    va_list copy;
    va_copy(copy, args);
    const int message = std::vsnprintf(buffer.end(), buffer.room(), format, copy);
    va_end(copy);
    if (message < 0) {
        return;
    }
    // One byte for the line break, one for the terminator vsnprintf writes.
    const std::size_t size = static_cast<std::size_t>(message);
    if (size + 2 > buffer.room()) {
        std::vsnprintf(buffer.reserve(size + 2), size + 2, format, args);
    }
    buffer.commit(size);
    buffer.write();
}

void _Log(int level, const char* method, int line, const char* format, ...) {
    if (!base::log::isEnabled(level)) {
        return;
    }
    va_list args;
    va_start(args, format);
    _LogV(level, method, line, format, args);
    va_end(args);
}

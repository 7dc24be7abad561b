#pragma once

#include <chrono>
#include <cstdarg>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Log levels as the callers pass them.
enum LogLevel : int {
    LOG_DEBUG = 0,
    LOG_INFO = 1,
    LOG_NOTICE = 2,
    LOG_WARNING = 3,
    LOG_ERROR = 4,
    // Only as a threshold: nothing is written.
    LOG_OFF = 5,
};

// Writes one line: time, thread id, level, method ("Class::method"), source line and the
// printf-style message. Lines go to a rotating file in the log folder and, on request, to stderr.
// Safe to call from any thread; never fails visibly. Lines below the current level (see
// base::log::setLevel) cost one comparison.
void _Log(int level, const char* method, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void _LogV(int level, const char* method, int line, const char* format, va_list args)
    __attribute__((format(printf, 4, 0)));
// The same line with a finished message: the text is written as it stands, with no formatting
// (for callers that build a long message themselves, such as the device link's frame dumps).
void _LogText(int level, const char* method, int line, std::string_view text);

namespace base::log {

struct Options {
    // Folder of the log files; empty means base::paths::logFolder().
    std::filesystem::path folder;
    // Base name of the files, usually the program's name: <name>.log, <name>.1.log, ...
    std::string name;
    bool toStderr = false;
    // A file is rotated when it would grow beyond this many bytes; that many older files are kept.
    std::size_t maxFileBytes = 4 * 1024 * 1024;
    int keptFiles = 3;
    // Lines below warning wait at most this long in memory before they are written.
    std::chrono::milliseconds flushDelay{500};
};

// Sets where the log goes. Without a call the log goes to <program>.log in the log folder, and
// to stderr as well when AURALIS_LOG_STDERR=1. May be called again; the file is reopened.
void configure(const Options& options);

// Writes buffered lines to the file now. Lines are buffered for speed (the device link logs every
// frame); the buffer is written at once for warnings and errors, at exit, on a fatal signal (see
// installFatalSignalFlush) and otherwise by a background writer at most Options::flushDelay after
// the first unwritten line.
void flush();

// The lowest level written. The first use reads AURALIS_LOG_LEVEL (see parseLevel); without it
// every level is written.
int level();
void setLevel(int level);
bool isEnabled(int level);

// "debug", "info", "notice", "warning", "error", "off" (any case) or the digits 0-5.
std::optional<int> parseLevel(std::string_view text);

// Applies "--log-level LEVEL" or "--log-level=LEVEL" from a program's arguments (the last one
// wins). False, with the reason in *error, when a value is missing or not a level.
bool applyLevelOption(const std::vector<std::string>& arguments, std::string* error);

// Writes the buffered lines when the program dies of SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT or
// SIGTERM (with write(2) alone, safe inside a signal handler), then lets the signal take its
// previous course. Call once, early in main().
void installFatalSignalFlush();

// The file currently written, empty when the log could not be opened.
std::filesystem::path currentFile();

}  // namespace base::log

#pragma once

#include <cstdarg>
#include <cstddef>
#include <filesystem>
#include <string>

// Log levels as the callers pass them.
enum LogLevel : int {
    LOG_DEBUG = 0,
    LOG_INFO = 1,
    LOG_NOTICE = 2,
    LOG_WARNING = 3,
    LOG_ERROR = 4,
};

// Writes one line: time, thread id, level, method ("Class::method"), source line and the
// printf-style message. Lines go to a rotating file in the log folder and, on request, to stderr.
// Safe to call from any thread; never fails visibly.
void _Log(int level, const char* method, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
void _LogV(int level, const char* method, int line, const char* format, va_list args)
    __attribute__((format(printf, 4, 0)));

namespace services::log {

struct Options {
    // Folder of the log files; empty means platform::paths::logFolder().
    std::filesystem::path folder;
    // Base name of the files, usually the program's name: <name>.log, <name>.1.log, ...
    std::string name;
    bool toStderr = false;
    // A file is rotated when it would grow beyond this many bytes; that many older files are kept.
    std::size_t maxFileBytes = 4 * 1024 * 1024;
    int keptFiles = 3;
};

// Sets where the log goes. Without a call the log goes to <program>.log in the log folder, and
// to stderr as well when AURALIS_LOG_STDERR=1. May be called again; the file is reopened.
void configure(const Options& options);

// Writes buffered lines to the file now. Lines are buffered for speed (the device link logs every
// frame); the buffer is written on warnings and errors, at exit, and with the first line written
// more than 200 ms after the previous write.
void flush();

// The file currently written, empty when the log could not be opened.
std::filesystem::path currentFile();

}  // namespace services::log

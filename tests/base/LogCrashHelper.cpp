// A program that dies with lines still in the log's buffer, for LogTest: it logs one quiet line
// into FOLDER/crash.log (which starts the background writer, here with an hour's delay) and
// aborts at once (or, given "term", sends itself SIGTERM, as a user ending it would). The
// fatal-signal flush must write the line before the process ends.
//
// It is a program of its own, started with exec, because a child forked from the multi-threaded
// test process may inherit the log's lock held by a thread that does not exist in the child.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "base/Log.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: log_crash_helper FOLDER [term]\n");
        return 2;
    }
    base::log::configure({.folder = argv[1], .name = "crash", .flushDelay = std::chrono::hours(1)});
    base::log::installFatalSignalFlush();
    _Log(LOG_INFO, "A::b", 1, "the last words");
    if (argc == 3) {
        std::raise(SIGTERM);
    }
    std::abort();
}

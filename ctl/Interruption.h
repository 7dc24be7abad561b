#pragma once

#include <csignal>

namespace ctl {

// While one exists, Ctrl-C (SIGINT) and SIGTERM no longer end the program at once: they set a
// flag that the waits of the command's link look at, so that the command can end in order and
// write its final object. A second signal while the flag is set ends the program as usual.
// One at a time.
class Interruption {
public:
    Interruption();
    ~Interruption();
    Interruption(const Interruption&) = delete;
    Interruption& operator=(const Interruption&) = delete;

    // True once a signal came while an Interruption existed.
    static bool requested();
};

}  // namespace ctl

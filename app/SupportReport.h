#pragma once

#include <cstdint>
#include <string>

// The archive for a bug report that `auralis-ctl report` writes, made from the window program:
// the same program (beside this one) does the work, so both give the same archive.
struct SupportReport {
    bool saved = false;
    std::string path;
    std::uintmax_t bytes = 0;

    // Where a report made now goes: auralis-report-DATE.tar.gz in the home folder.
    static std::string DefaultPath();
    // Runs `auralis-ctl --json report PATH` from the install folder and waits for it (it takes a
    // few seconds: the doctor asks BlueZ and the update server).
    static SupportReport Save(const std::string& path);
};

#pragma once

#include <cstdint>
#include <string>

namespace updater {

// Whether a downloaded installer may be run: it must be exactly as long as the server announced
// (when it announced a length) and be a program of a kind we run: an ELF executable whose header
// tables lie inside the file, or a script with an interpreter line (the self-extracting installer
// is one and checks its own archive before unpacking). An HTML error page, an empty file or half
// of an ELF file never gets as far as being run.
class InstallerCheck {
public:
    enum class Verdict {
        Ok,
        Unreadable,    // cannot be opened or read
        Empty,         // no bytes at all
        WrongLength,   // the length differs from the announced one
        NotAProgram,   // neither ELF nor a script with an interpreter line
        TruncatedElf,  // an ELF header whose tables reach past the end of the file
    };

    // announcedLength 0: the server did not say.
    static Verdict Check(const std::string& path, std::uint64_t announcedLength);
    // For log lines.
    static const char* Describe(Verdict verdict);
};

}  // namespace updater

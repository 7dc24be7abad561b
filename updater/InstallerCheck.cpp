#include "updater/InstallerCheck.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

namespace updater {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kHeadBytes = 256;
constexpr std::array<unsigned char, 4> kElfMagic{0x7F, 'E', 'L', 'F'};
constexpr unsigned char kElfClass32 = 1;
constexpr unsigned char kElfClass64 = 2;
constexpr unsigned char kElfLittleEndian = 1;
constexpr unsigned char kElfBigEndian = 2;
// The interpreter line must end within this many bytes (the kernel's own limit is similar).
constexpr std::size_t kMaxInterpreterLine = 128;

// Reads an unsigned little- or big-endian field of size bytes at offset of head.
std::uint64_t field(const std::string& head, std::size_t offset, std::size_t size, bool little) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const auto byte = static_cast<unsigned char>(head[offset + (little ? size - 1 - i : i)]);
        value = (value << 8) | byte;
    }
    return value;
}

// Where a table of count entries of entrySize bytes starting at offset ends.
std::uint64_t tableEnd(std::uint64_t offset, std::uint64_t entrySize, std::uint64_t count) {
    return count == 0 ? 0 : offset + entrySize * count;
}

bool isElf(const std::string& head) {
    return head.size() >= kElfMagic.size() &&
           std::equal(kElfMagic.begin(), kElfMagic.end(), head.begin(),
                      [](unsigned char a, char b) { return a == static_cast<unsigned char>(b); });
}

// The ELF header's program and section header tables must lie inside the file: the section
// table sits at the very end, so a file cut short loses it.
InstallerCheck::Verdict checkElf(const std::string& head, std::uint64_t fileSize) {
    if (head.size() < 0x40) {
        return InstallerCheck::Verdict::TruncatedElf;
    }
    const auto elfClass = static_cast<unsigned char>(head[4]);
    const auto data = static_cast<unsigned char>(head[5]);
    if ((elfClass != kElfClass32 && elfClass != kElfClass64) ||
        (data != kElfLittleEndian && data != kElfBigEndian)) {
        return InstallerCheck::Verdict::NotAProgram;
    }
    const bool little = data == kElfLittleEndian;
    std::uint64_t programEnd = 0;
    std::uint64_t sectionEnd = 0;
    if (elfClass == kElfClass64) {
        programEnd = tableEnd(field(head, 0x20, 8, little), field(head, 0x36, 2, little),
                              field(head, 0x38, 2, little));
        sectionEnd = tableEnd(field(head, 0x28, 8, little), field(head, 0x3A, 2, little),
                              field(head, 0x3C, 2, little));
    } else {
        programEnd = tableEnd(field(head, 0x1C, 4, little), field(head, 0x2A, 2, little),
                              field(head, 0x2C, 2, little));
        sectionEnd = tableEnd(field(head, 0x20, 4, little), field(head, 0x2E, 2, little),
                              field(head, 0x30, 2, little));
    }
    if (programEnd == 0 || programEnd > fileSize || sectionEnd > fileSize) {
        return InstallerCheck::Verdict::TruncatedElf;
    }
    return InstallerCheck::Verdict::Ok;
}

// "#!/absolute/interpreter" on a first line of its own.
bool isScript(const std::string& head) {
    if (head.size() < 3 || head[0] != '#' || head[1] != '!') {
        return false;
    }
    const std::size_t end = head.find('\n');
    if (end == std::string::npos || end > kMaxInterpreterLine) {
        return false;
    }
    const std::size_t start = head.find_first_not_of(' ', 2);
    return start < end && head[start] == '/';
}

}  // namespace

InstallerCheck::Verdict InstallerCheck::Check(const std::string& path,
                                              std::uint64_t announcedLength) {
    std::error_code error;
    if (fs::symlink_status(path, error).type() != fs::file_type::regular) {
        return Verdict::Unreadable;
    }
    const std::uint64_t size = fs::file_size(path, error);
    if (error) {
        return Verdict::Unreadable;
    }
    if (size == 0) {
        return Verdict::Empty;
    }
    if (announcedLength != 0 && size != announcedLength) {
        return Verdict::WrongLength;
    }
    std::ifstream in(path, std::ios::binary);
    std::string head(kHeadBytes, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    if (in.bad()) {
        return Verdict::Unreadable;
    }
    head.resize(static_cast<std::size_t>(in.gcount()));
    if (isElf(head)) {
        return checkElf(head, size);
    }
    return isScript(head) ? Verdict::Ok : Verdict::NotAProgram;
}

const char* InstallerCheck::Describe(Verdict verdict) {
    switch (verdict) {
        case Verdict::Ok:
            return "a whole program";
        case Verdict::Unreadable:
            return "cannot be read";
        case Verdict::Empty:
            return "empty";
        case Verdict::WrongLength:
            return "not the length the server announced";
        case Verdict::NotAProgram:
            return "not a program (neither ELF nor a script)";
        case Verdict::TruncatedElf:
            return "an ELF file cut short";
    }
    return "unknown";
}

}  // namespace updater

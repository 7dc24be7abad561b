#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace sim {

// The small text entry that the sim's packages carry so that the virtual earbuds know which
// model a package is for and which version they run after installing it:
//   AURALIS-FW 1\nmodel=VX-R175\nversion=2.2.0\n
// Packages without it are installed all the same; the earbuds then take a configured version.
struct FirmwareDescriptor {
    std::string model;
    std::string version;

    static constexpr uint8_t kEntryId = 1;

    std::vector<uint8_t> encode() const;
    // Empty when the bytes do not start with the descriptor's first line.
    static std::optional<FirmwareDescriptor> parse(std::span<const uint8_t> bytes);
};

}  // namespace sim

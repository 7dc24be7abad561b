#include "sim/FirmwareDescriptor.h"

#include <string_view>

namespace sim {
namespace {

constexpr std::string_view kFirstLine = "AURALIS-FW 1\n";

}  // namespace

std::vector<uint8_t> FirmwareDescriptor::encode() const {
    const std::string text =
        std::string(kFirstLine) + "model=" + model + "\nversion=" + version + "\n";
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::optional<FirmwareDescriptor> FirmwareDescriptor::parse(std::span<const uint8_t> bytes) {
    const std::string text(bytes.begin(), bytes.end());
    if (text.compare(0, kFirstLine.size(), kFirstLine) != 0) {
        return std::nullopt;
    }
    FirmwareDescriptor descriptor;
    std::size_t at = kFirstLine.size();
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view line(text.data() + at, end - at);
        if (line.starts_with("model=")) {
            descriptor.model = line.substr(6);
        } else if (line.starts_with("version=")) {
            descriptor.version = line.substr(8);
        }
        at = end + 1;
    }
    return descriptor;
}

}  // namespace sim

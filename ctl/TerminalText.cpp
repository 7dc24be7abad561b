#include "ctl/TerminalText.h"

#include <cstdint>
#include <cstdio>

#include "ctl/CommandArguments.h"

namespace ctl {
namespace {

std::string escaped(const char* format, unsigned value) {
    char text[8];
    std::snprintf(text, sizeof(text), format, value);
    return text;
}

}  // namespace

std::string printable(const std::string& text, bool keepLineBreaks) {
    // shown() yields valid UTF-8, so a byte 0xC2 always leads a two-byte sequence.
    const std::string utf8 = shown(text);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<uint8_t>(utf8[i]);
        if (keepLineBreaks && (byte == '\n' || byte == '\t')) {
            out.push_back(utf8[i]);
        } else if (byte < 0x20 || byte == 0x7F) {
            out += escaped("\\x%02x", byte);
        } else if (byte == '\\') {
            out += "\\\\";
        } else if (byte == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<uint8_t>(utf8[i + 1]) <= 0x9F) {
            out += escaped("\\u%04x", static_cast<uint8_t>(utf8[i + 1]));
            ++i;
        } else {
            out.push_back(utf8[i]);
        }
    }
    return out;
}

}  // namespace ctl

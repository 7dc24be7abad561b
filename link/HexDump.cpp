#include "link/HexDump.h"

namespace devlink {
namespace {

constexpr std::size_t kLongDump = 100;
constexpr std::size_t kHeadBytes = 10;
constexpr std::size_t kTailBytes = 9;

void appendBytes(std::string& out, const uint8_t* bytes, std::size_t count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(kDigits[bytes[i] >> 4]);
        out.push_back(kDigits[bytes[i] & 0x0F]);
        out.push_back(' ');
    }
}

}  // namespace

std::string hexDump(const uint8_t* bytes, std::size_t count) {
    std::string out;
    if (count >= kLongDump) {
        out.reserve((kHeadBytes + kTailBytes) * 3 + 4);
        appendBytes(out, bytes, kHeadBytes);
        out += "... ";
        appendBytes(out, bytes + count - kTailBytes, kTailBytes);
    } else {
        out.reserve(count * 3);
        appendBytes(out, bytes, count);
    }
    return out;
}

}  // namespace devlink

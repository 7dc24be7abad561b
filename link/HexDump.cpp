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

void appendHexDump(std::string& out, const uint8_t* bytes, std::size_t count) {
    if (count >= kLongDump) {
        appendBytes(out, bytes, kHeadBytes);
        out += "... ";
        appendBytes(out, bytes + count - kTailBytes, kTailBytes);
    } else {
        appendBytes(out, bytes, count);
    }
}

std::string hexDump(const uint8_t* bytes, std::size_t count) {
    std::string out;
    out.reserve(count >= kLongDump ? (kHeadBytes + kTailBytes) * 3 + 4 : count * 3);
    appendHexDump(out, bytes, count);
    return out;
}

}  // namespace devlink

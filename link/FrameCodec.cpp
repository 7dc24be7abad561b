#include "link/FrameCodec.h"

#include <algorithm>
#include <string_view>

namespace devlink {
namespace {

constexpr std::array<uint16_t, 256> makeCrc16Table() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) != 0 ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                                      : static_cast<uint16_t>(crc << 1);
        }
        table[i] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrc16Table = makeCrc16Table();

// Slicing by eight: kSlices[k][i] is the CRC of byte i followed by k zero bytes, so eight bytes
// fold into the CRC with eight independent lookups instead of a chain of eight. kSlices[0] is
// the table above; the result is the same as byte by byte.
constexpr std::array<std::array<uint16_t, 256>, 8> makeSlices() {
    std::array<std::array<uint16_t, 256>, 8> slices{};
    slices[0] = kCrc16Table;
    for (std::size_t k = 1; k < slices.size(); ++k) {
        for (unsigned i = 0; i < 256; ++i) {
            const uint16_t previous = slices[k - 1][i];
            slices[k][i] =
                static_cast<uint16_t>((previous << 8) ^ kCrc16Table[(previous >> 8) & 0xFF]);
        }
    }
    return slices;
}

constexpr std::array<std::array<uint16_t, 256>, 8> kSlices = makeSlices();

// The smallest frame that has room for a 3-byte header, the checksum and the end marker.
constexpr std::size_t kMinSealableLength = kShortHeaderSize + kChecksumSize + 1;

}  // namespace

bool isSecondGenerationName(const std::string& name) {
    const std::size_t bracket = name.find('(');
    if (bracket == std::string::npos || bracket == 0) {
        return false;
    }
    // A view, not a copy: this runs for every frame sent and received.
    const std::string_view model = std::string_view(name).substr(0, bracket - 1);
    return model == "Auralis+" || model == "Auralis2";
}

const std::array<uint16_t, 256>& crc16Table() {
    return kCrc16Table;
}

uint16_t crc16(const uint8_t* bytes, std::size_t count, uint16_t crc) {
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const uint8_t* b = bytes + i;
        crc =
            static_cast<uint16_t>(kSlices[7][b[0] ^ (crc >> 8)] ^ kSlices[6][b[1] ^ (crc & 0xFF)] ^
                                  kSlices[5][b[2]] ^ kSlices[4][b[3]] ^ kSlices[3][b[4]] ^
                                  kSlices[2][b[5]] ^ kSlices[1][b[6]] ^ kSlices[0][b[7]]);
    }
    for (; i < count; ++i) {
        crc = static_cast<uint16_t>((crc << 8) ^ kCrc16Table[((crc >> 8) ^ bytes[i]) & 0xFF]);
    }
    return crc;
}

std::size_t checksumStart(Generation markers, const uint8_t* frame, std::size_t length) {
    if (markers == Generation::First && length > 1 && (frame[1] & kFirstFlagLongForm) != 0) {
        return kLongHeaderSize;
    }
    return kShortHeaderSize;
}

std::vector<uint8_t> wrapBody(Generation markers, const FrameOptions& options, const uint8_t* body,
                              std::size_t bodyLength) {
    const bool secondHeader = options.header == Generation::Second;
    const bool longForm = !secondHeader && options.longForm;
    const std::size_t maxBody = secondHeader ? kMaxSecondBodyLength
                                : longForm   ? kMaxLongBodyLength
                                             : kMaxShortBodyLength;
    if (bodyLength < kMinBodyLength || bodyLength > maxBody) {
        return {};
    }
    const std::size_t headerSize = longForm ? kLongHeaderSize : kShortHeaderSize;
    std::vector<uint8_t> frame(headerSize + bodyLength + 1);
    frame[0] = startMarker(markers);
    if (secondHeader) {
        uint8_t flags = 0;
        flags |= options.response ? kSecondFlagResponse : 0;
        flags |= options.dataFlag ? kSecondFlagData : 0;
        frame[1] = static_cast<uint8_t>(bodyLength & 0xFF);
        frame[2] = static_cast<uint8_t>((bodyLength >> 8) | flags);
    } else {
        uint8_t flags = 0;
        flags |= options.response ? kFirstFlagResponse : 0;
        flags |= options.dataFlag ? kFirstFlagData : 0;
        flags |= longForm ? kFirstFlagLongForm : 0;
        frame[1] = flags;
        frame[2] = static_cast<uint8_t>(bodyLength & 0xFF);
        if (longForm) {
            frame[3] = static_cast<uint8_t>(bodyLength >> 8);
        }
    }
    std::copy(body, body + bodyLength, frame.begin() + static_cast<std::ptrdiff_t>(headerSize));
    frame.back() = endMarker(markers);
    return frame;
}

uint16_t sealFrame(Generation markers, uint8_t* frame, std::size_t length) {
    if (length < kMinSealableLength) {
        return 0;
    }
    const std::size_t from = checksumStart(markers, frame, length);
    const std::size_t to = length - 3;
    const uint16_t crc = from < to ? crc16(frame + from, to - from) : 0;
    frame[length - 3] = static_cast<uint8_t>(crc & 0xFF);
    frame[length - 2] = static_cast<uint8_t>(crc >> 8);
    return crc;
}

bool checksumMatches(Generation markers, const uint8_t* frame, std::size_t length) {
    if (length < kMinSealableLength) {
        return false;
    }
    const std::size_t from = checksumStart(markers, frame, length);
    const std::size_t to = length - 3;
    const uint16_t crc = from < to ? crc16(frame + from, to - from) : 0;
    return frame[length - 3] == (crc & 0xFF) && frame[length - 2] == (crc >> 8);
}

std::vector<uint8_t> buildFrame(Generation markers, uint8_t messageId,
                                std::span<const uint8_t> payload, const FrameOptions& options) {
    std::vector<uint8_t> body;
    body.reserve(payload.size() + kMinBodyLength);
    body.push_back(messageId);
    body.insert(body.end(), payload.begin(), payload.end());
    body.push_back(0);
    body.push_back(0);
    std::vector<uint8_t> frame = wrapBody(markers, options, body.data(), body.size());
    sealFrame(markers, frame.data(), frame.size());
    return frame;
}

std::vector<uint8_t> buildFrame(Generation generation, uint8_t messageId,
                                std::span<const uint8_t> payload, bool response) {
    return buildFrame(generation, messageId, payload,
                      FrameOptions{.header = generation, .response = response});
}

}  // namespace devlink

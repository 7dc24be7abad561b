#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The earbuds' frame format on bytes alone: the generation test, the CRC-16, building and
// sealing frames. No I/O and no logging here; BluetoothHandle and auralis-sim both build on it.
//
// A frame is: start marker, header (body length and flags), body, end marker. The body is the
// message id, the payload and a CRC-16 stored low byte first. Two layouts exist:
//
//   first generation   FE flags len      id payload crc-lo crc-hi EE
//                      FE flags len-lo len-hi id payload crc-lo crc-hi EE   (long form, flag 0x10)
//   second generation  FD len-lo (len-hi | flags) id payload crc-lo crc-hi DD
//
// First-generation flags: 0x01 response, 0x02 firmware data, 0x10 long form.
// Second-generation flags (in the header's second byte): 0x10 response, 0x20 firmware data.
namespace devlink {

enum class Generation : uint8_t { First, Second };

constexpr uint8_t kStartMarkerFirst = 0xFE;
constexpr uint8_t kEndMarkerFirst = 0xEE;
constexpr uint8_t kStartMarkerSecond = 0xFD;
constexpr uint8_t kEndMarkerSecond = 0xDD;

// Header sizes (start marker included) and the bytes around a body.
constexpr std::size_t kShortHeaderSize = 3;
constexpr std::size_t kLongHeaderSize = 4;
constexpr std::size_t kChecksumSize = 2;
// Id and checksum: the smallest body there is.
constexpr std::size_t kMinBodyLength = 3;
// The largest body each header can state.
constexpr std::size_t kMaxShortBodyLength = 0xFF;
constexpr std::size_t kMaxSecondBodyLength = 0x0FFF;
constexpr std::size_t kMaxLongBodyLength = 0xFFFF;
// The longest frame with a one-byte length: what the receiver of the program can accept.
constexpr std::size_t kMaxShortFrameLength = kMaxShortBodyLength + 4;

constexpr uint8_t kFirstFlagResponse = 0x01;
constexpr uint8_t kFirstFlagData = 0x02;
constexpr uint8_t kFirstFlagLongForm = 0x10;
constexpr uint8_t kSecondFlagResponse = 0x10;
constexpr uint8_t kSecondFlagData = 0x20;
constexpr uint16_t kSecondLengthMask = 0x0FFF;

constexpr uint8_t startMarker(Generation generation) {
    return generation == Generation::Second ? kStartMarkerSecond : kStartMarkerFirst;
}
constexpr uint8_t endMarker(Generation generation) {
    return generation == Generation::Second ? kEndMarkerSecond : kEndMarkerFirst;
}

// The generation test on a device name: the name cut before the blank that precedes its first
// "(" must be exactly "Auralis+" or "Auralis2". A name without "(" or starting with "(" is of
// the first generation.
bool isSecondGenerationName(const std::string& name);

// CRC-16 with polynomial 0x1021, initial value 0, no reflection, no final XOR (the XMODEM
// parameters; "123456789" gives 0x31C3). crc continues an earlier computation.
const std::array<uint16_t, 256>& crc16Table();
uint16_t crc16(const uint8_t* bytes, std::size_t count, uint16_t crc = 0);

// How a frame's header is laid out and flagged.
struct FrameOptions {
    // Header layout; the markers are chosen separately. The program's reset request is the one
    // frame with a first-generation header between second-generation markers.
    Generation header = Generation::First;
    bool response = false;
    // The firmware data messages' flag (first generation 0x02, second generation 0x20).
    bool dataFlag = false;
    // Two-byte length in a first-generation header; ignored for the second-generation header.
    bool longForm = false;
};

// Where the checksum of a frame starts: after the id's header, so offset 3, or offset 4 for a
// frame between first-generation markers whose flag byte has the long-form bit set. This is the
// rule of both the sending and the checking side.
std::size_t checksumStart(Generation markers, const uint8_t* frame, std::size_t length);

// Wraps a body (id, payload and two checksum bytes whose value does not matter) into a frame:
// markers of `markers`, header by options. The checksum bytes are copied as they are; seal the
// frame before sending. Returns an empty buffer when the body is shorter than 3 bytes or longer
// than the header can state.
std::vector<uint8_t> wrapBody(Generation markers, const FrameOptions& options, const uint8_t* body,
                              std::size_t bodyLength);

// Computes the checksum of a frame (from checksumStart up to the last payload byte) and writes it
// low byte first into the two bytes before the end marker. Returns the checksum. Frames shorter
// than a start marker, three header bytes, checksum and end marker are left unchanged (0).
uint16_t sealFrame(Generation markers, uint8_t* frame, std::size_t length);

// True when the two bytes before the end marker hold the checksum of the covered bytes.
bool checksumMatches(Generation markers, const uint8_t* frame, std::size_t length);

// A complete, sealed frame: header by options, the id, the payload, checksum and end marker.
// Empty when the body does not fit the header.
std::vector<uint8_t> buildFrame(Generation markers, uint8_t messageId,
                                std::span<const uint8_t> payload, const FrameOptions& options);

// The usual frame of a generation: its own markers and header.
std::vector<uint8_t> buildFrame(Generation generation, uint8_t messageId,
                                std::span<const uint8_t> payload, bool response);

}  // namespace devlink

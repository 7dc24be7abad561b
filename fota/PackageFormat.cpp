#include "fota/PackageFormat.h"

namespace fota {

uint32_t readLE32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void writeLE32(uint8_t* bytes, uint32_t value) {
    bytes[0] = static_cast<uint8_t>(value);
    bytes[1] = static_cast<uint8_t>(value >> 8);
    bytes[2] = static_cast<uint8_t>(value >> 16);
    bytes[3] = static_cast<uint8_t>(value >> 24);
}

PackageHeader decodeHeader(const uint8_t* bytes) {
    return {readLE32(bytes), readLE32(bytes + 4), readLE32(bytes + 8)};
}

void encodeHeader(const PackageHeader& header, uint8_t* bytes) {
    writeLE32(bytes, header.magicNumber);
    writeLE32(bytes + 4, header.totalSize);
    writeLE32(bytes + 8, header.entryCount);
}

EntryRecord decodeEntry(const uint8_t* bytes) {
    return {readLE32(bytes), readLE32(bytes + 4), readLE32(bytes + 8), readLE32(bytes + 12)};
}

void encodeEntry(const EntryRecord& entry, uint8_t* bytes) {
    writeLE32(bytes, entry.id);
    writeLE32(bytes + 4, entry.crc);
    writeLE32(bytes + 8, entry.offset);
    writeLE32(bytes + 12, entry.size);
}

bool isValidHeader(const PackageHeader& header) {
    return header.magicNumber == kMagicNumber && header.totalSize != 0 && header.entryCount != 0;
}

}  // namespace fota

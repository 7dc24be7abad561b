#pragma once

#include <cstddef>
#include <cstdint>

// The firmware package on bytes alone. Every number is a 32-bit unsigned value stored little
// endian:
//
//   0   magicNumber   0xCAFECAFE (bytes FE CA FE CA)
//   4   totalSize     stated size of the package, not 0
//   8   entryCount    entries in the table, not 0
//   12  entry table   16 bytes per entry: id, crc (CRC-32 of the entry), offset (from the start
//                     of the file), size
//   ..  the entries' contents, found only through offset and size
//   file length - 4   fileCrc32: CRC-32 of every byte before it
namespace fota {

constexpr uint32_t kMagicNumber = 0xCAFECAFE;
constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kEntryRecordSize = 16;
constexpr std::size_t kFileCrcSize = 4;

// What the transfer to the earbuds can carry: an entry count and an id travel in one byte, the
// earbuds request entries by a signed id byte, and a position inside an entry has 24 bits.
constexpr uint32_t kMaxTransferEntries = 255;
constexpr uint32_t kMaxTransferId = 255;
constexpr uint32_t kMaxRequestableId = 127;
constexpr uint32_t kMaxTransferEntrySize = (1u << 24) - 1;

// The most a firmware download may bring: header, a full entry table and the largest entry the
// transfer can carry for each of the two buds, plus the check value (32 MiB and 4 KiB). Real
// packages are about 100 KB; anything larger than this cannot be a package whose entries fit
// the transfer, and at the radio's 375 KB/s it would already take a minute and a half to send.
constexpr uint64_t kMaxPackageBytes = kHeaderSize +
                                      uint64_t{kEntryRecordSize} * kMaxTransferEntries +
                                      2 * uint64_t{kMaxTransferEntrySize + 1} + kFileCrcSize;

struct PackageHeader {
    uint32_t magicNumber = 0;
    uint32_t totalSize = 0;
    uint32_t entryCount = 0;
};

// One record of the entry table.
struct EntryRecord {
    uint32_t id = 0;
    uint32_t crc = 0;
    uint32_t offset = 0;
    uint32_t size = 0;

    bool operator==(const EntryRecord&) const = default;
};

uint32_t readLE32(const uint8_t* bytes);
void writeLE32(uint8_t* bytes, uint32_t value);

// bytes holds kHeaderSize bytes.
PackageHeader decodeHeader(const uint8_t* bytes);
void encodeHeader(const PackageHeader& header, uint8_t* bytes);
// bytes holds kEntryRecordSize bytes.
EntryRecord decodeEntry(const uint8_t* bytes);
void encodeEntry(const EntryRecord& entry, uint8_t* bytes);

// The magic number is right and neither the size nor the entry count is 0.
bool isValidHeader(const PackageHeader& header);

}  // namespace fota

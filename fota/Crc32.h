#pragma once

#include <cstddef>
#include <cstdint>

namespace fota {

// CRC-32 as in zip and Ethernet (polynomial 0x04C11DB7 reflected, initial value and final XOR
// 0xFFFFFFFF; "123456789" gives 0xCBF43926): the check values of a firmware package. Pass the
// previous result as crc to continue over more bytes.
uint32_t crc32(const uint8_t* bytes, std::size_t count, uint32_t crc = 0);

}  // namespace fota

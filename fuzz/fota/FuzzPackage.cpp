// Fuzzes the firmware package reader on files of any content, and checks that every package the
// writer builds from the input reads back to the writer's own table.
//
// The input itself is written to a file and read with getFileInfo. Then byte 0 (1 + value % 8)
// says into how many entries the rest is cut; the writer packs them and the reader must return
// exactly the writer's table and check value.

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <vector>

#include "fota/Crc32.h"
#include "fota/FileInfo.h"
#include "fota/PackageWriter.h"
#include "fuzz/common/FuzzSandbox.h"

namespace {

void writeFile(const std::string& path, const uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void readArbitraryFile(const std::string& path, const uint8_t* data, std::size_t size) {
    writeFile(path, data, size);
    FileInfo info(path);
    FileInfo again;
    const bool valid = again.getFileInfo(path);
    // The record is either a whole valid description or the invalid state.
    if (valid ? info.entries.size() != info.entryCount || info.magicNumber != fota::kMagicNumber
              : !info.entries.empty() || info.fileCrc32 != 0) {
        __builtin_trap();
    }
}

void roundTrip(const std::string& path, const uint8_t* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    const std::size_t parts = 1 + data[0] % 8;
    const std::size_t rest = size - 1;
    fota::PackageWriter writer;
    for (std::size_t i = 0; i < parts; ++i) {
        const std::size_t from = 1 + rest * i / parts;
        const std::size_t to = 1 + rest * (i + 1) / parts;
        writer.addEntry(static_cast<uint32_t>(i * 37),
                        std::vector<uint8_t>(data + from, data + to));
    }
    std::vector<uint8_t> package;
    if (!writer.build(package)) {
        __builtin_trap();
    }
    writeFile(path, package.data(), package.size());
    FileInfo info;
    if (!info.getFileInfo(path) || info.entries != writer.records() ||
        info.totalSize != package.size() ||
        info.fileCrc32 != fota::crc32(package.data(), package.size() - fota::kFileCrcSize)) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    static const std::string path = (fuzz_support::sandbox() / "package.bin").string();
    readArbitraryFile(path, data, size);
    roundTrip(path, data, size);
    return 0;
}

#include "fota/PackageVerdict.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "base/Log.h"
#include "fota/PackageFormat.h"

namespace fota {
namespace {

std::string entryText(const EntryRecord& entry) {
    return "entry " + std::to_string(entry.id) + " (offset " + std::to_string(entry.offset) +
           ", size " + std::to_string(entry.size) + ")";
}

// The first structural fault of the header and table, or empty.
std::string headerFault(const std::string& path, uint64_t length) {
    std::ifstream in(path, std::ios::binary);
    uint8_t bytes[kHeaderSize];
    if (!in || length < kHeaderSize + kFileCrcSize ||
        !in.read(reinterpret_cast<char*>(bytes), sizeof(bytes))) {
        return "the file is shorter than a package header";
    }
    const PackageHeader header = decodeHeader(bytes);
    if (header.magicNumber != kMagicNumber) {
        return "it is not a firmware package (wrong magic number)";
    }
    if (header.totalSize == 0) {
        return "the header states a package size of 0";
    }
    if (header.entryCount == 0) {
        return "the header states no entries";
    }
    if (header.entryCount > kMaxTransferEntries) {
        return "it has " + std::to_string(header.entryCount) + " entries; at most " +
               std::to_string(kMaxTransferEntries) + " can be sent";
    }
    if (kHeaderSize + uint64_t{kEntryRecordSize} * header.entryCount + kFileCrcSize > length) {
        return "the entry table is cut short";
    }
    return {};
}

std::string entryFault(const FileInfo& info, uint64_t length) {
    for (const EntryRecord& entry : info.entries) {
        if (entry.size > kMaxTransferEntrySize) {
            return entryText(entry) + " is 16 MiB or larger";
        }
        if (uint64_t{entry.offset} + entry.size > length) {
            return entryText(entry) + " lies outside the file";
        }
    }
    return {};
}

}  // namespace

PackageVerdict checkPackage(const std::string& path, uint64_t announcedSize) {
    PackageVerdict verdict;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        verdict.reason = "the file is missing or not a regular file";
        return verdict;
    }
    verdict.fileLength = std::filesystem::file_size(path, error);
    if (error) {
        verdict.reason = "the file cannot be read";
        return verdict;
    }
    verdict.info.path = path;
    std::string unreadable;
    const bool readWhole = verdict.info.getFileInfo(path, unreadable);
    if (announcedSize != 0 && verdict.fileLength != announcedSize) {
        verdict.reason = "the file is " + std::to_string(verdict.fileLength) +
                         " bytes long, the server announced " + std::to_string(announcedSize);
    } else if (std::string fault = headerFault(path, verdict.fileLength); !fault.empty()) {
        verdict.reason = std::move(fault);
    } else if (!readWhole) {
        verdict.reason = std::move(unreadable);
    } else {
        verdict.reason = entryFault(verdict.info, verdict.fileLength);
    }
    verdict.valid = verdict.reason.empty();
    if (!verdict.valid) {
        _Log(LOG_WARNING, "fota::checkPackage", __LINE__, "package %s refused: %s", path.c_str(),
             verdict.reason.c_str());
    }
    return verdict;
}

}  // namespace fota

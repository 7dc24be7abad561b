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

// The first structural fault of the header and table, or no error.
base::Error headerFault(const std::string& path, uint64_t length) {
    std::ifstream in(path, std::ios::binary);
    uint8_t bytes[kHeaderSize];
    if (!in || length < kHeaderSize + kFileCrcSize ||
        !in.read(reinterpret_cast<char*>(bytes), sizeof(bytes))) {
        return base::Error("the file is shorter than a package header").within("reading header");
    }
    const PackageHeader header = decodeHeader(bytes);
    if (header.magicNumber != kMagicNumber) {
        return base::Error("it is not a firmware package (wrong magic number)")
            .within("reading header");
    }
    if (header.totalSize == 0) {
        return base::Error("the header states a package size of 0").within("reading header");
    }
    if (header.entryCount == 0) {
        return base::Error("the header states no entries").within("reading header");
    }
    if (header.entryCount > kMaxTransferEntries) {
        return base::Error("it has " + std::to_string(header.entryCount) + " entries; at most " +
                           std::to_string(kMaxTransferEntries) + " can be sent")
            .within("reading header");
    }
    const uint64_t room = (length - kHeaderSize - kFileCrcSize) / kEntryRecordSize;
    if (room < header.entryCount) {
        return base::Error("the table is cut short: the header states " +
                           std::to_string(header.entryCount) + " entries, the file has room for " +
                           std::to_string(room))
            .within("reading entry table");
    }
    return {};
}

// The first entry the transfer cannot carry, or no error. The entry's own name is the step.
base::Error entryFault(const FileInfo& info, uint64_t length) {
    for (const EntryRecord& entry : info.entries) {
        if (entry.size > kMaxTransferEntrySize) {
            return base::Error(entryText(entry) + " is 16 MiB or larger");
        }
        if (uint64_t{entry.offset} + entry.size > length) {
            return base::Error(entryText(entry) + " lies outside the file");
        }
    }
    return {};
}

}  // namespace

PackageVerdict checkPackage(const std::string& path, uint64_t announcedSize) {
    PackageVerdict verdict;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        verdict.error = base::Error("the file is missing or not a regular file", error.value())
                            .within("opening package");
        return verdict;
    }
    verdict.fileLength = std::filesystem::file_size(path, error);
    if (error) {
        verdict.error = base::Error(error.message(), error.value()).within("opening package");
        return verdict;
    }
    verdict.info.path = path;
    base::Error unreadable = verdict.info.read(path);
    if (announcedSize != 0 && verdict.fileLength != announcedSize) {
        verdict.error =
            base::Error("the file is " + std::to_string(verdict.fileLength) +
                        " bytes long, the server announced " + std::to_string(announcedSize))
                .within("checking length");
    } else if (base::Error fault = headerFault(path, verdict.fileLength)) {
        verdict.error = std::move(fault);
    } else if (unreadable) {
        verdict.error = std::move(unreadable);
    } else {
        verdict.error = entryFault(verdict.info, verdict.fileLength);
    }
    verdict.valid = !verdict.error;
    if (!verdict.valid) {
        _Log(LOG_WARNING, "fota::checkPackage", __LINE__, "package %s refused: %s", path.c_str(),
             verdict.error.message().c_str());
    }
    return verdict;
}

}  // namespace fota

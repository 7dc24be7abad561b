#include "fota/FileInfo.h"

#include <stdio.h>

#include <cstdio>
#include <memory>

#include "base/Log.h"

namespace {

constexpr uint32_t kListedEntries = 32;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool readExactly(std::FILE* file, uint8_t* out, std::size_t size) {
    return std::fread(out, 1, size, file) == size;
}

// Reads the last four bytes of the file, whatever the header says.
bool readFileCrc(std::FILE* file, uint32_t& crc) {
    if (::fseeko(file, 0, SEEK_END) != 0) {
        return false;
    }
    const off_t length = ::ftello(file);
    if (length < static_cast<off_t>(fota::kFileCrcSize) ||
        ::fseeko(file, length - static_cast<off_t>(fota::kFileCrcSize), SEEK_SET) != 0) {
        return false;
    }
    uint8_t bytes[fota::kFileCrcSize];
    if (!readExactly(file, bytes, sizeof(bytes))) {
        return false;
    }
    crc = fota::readLE32(bytes);
    return true;
}

}  // namespace

FileInfo::FileInfo(const std::string& path) : path(path) {
    getFileInfo(path);
}

bool FileInfo::getFileInfo(const std::string& path) {
    std::string why;
    return getFileInfo(path, why);
}

bool FileInfo::getFileInfo(const std::string& path, std::string& why) {
    static constexpr const char* kMethod = "FileInfo::getFileInfo";
    why.clear();
    File file(std::fopen(path.c_str(), "rbe"));
    if (!file) {
        why = "the file cannot be opened";
        return false;
    }
    entries.clear();
    fileCrc32 = 0;

    uint8_t header[fota::kHeaderSize];
    if (!readExactly(file.get(), header, sizeof(header))) {
        why = "the file is shorter than the " + std::to_string(fota::kHeaderSize) + "-byte header";
        _Log(LOG_WARNING, kMethod, __LINE__, "[FileInfo]: %s", why.c_str());
        return false;
    }
    const fota::PackageHeader decoded = fota::decodeHeader(header);
    magicNumber = decoded.magicNumber;
    totalSize = decoded.totalSize;
    entryCount = decoded.entryCount;
    _Log(LOG_INFO, kMethod, __LINE__, "[FileInfo]: magicNumber[%x], totalSize[%d], entryCount[%d]",
         magicNumber, static_cast<int>(totalSize), static_cast<int>(entryCount));
    if (!fota::isValidHeader(decoded)) {
        why = decoded.magicNumber != fota::kMagicNumber
                  ? "it is not a firmware package (wrong magic number)"
                  : (decoded.totalSize == 0 ? "the header states a package size of 0"
                                            : "the header states no entries");
        return false;
    }

    for (uint32_t i = 0; i < entryCount; ++i) {
        uint8_t record[fota::kEntryRecordSize];
        if (!readExactly(file.get(), record, sizeof(record))) {
            why = "the entry table ends after " + std::to_string(i) + " of " +
                  std::to_string(entryCount) + " entries";
            _Log(LOG_WARNING, kMethod, __LINE__, "[FileInfo]: %s", why.c_str());
            entries.clear();
            return false;
        }
        const fota::EntryRecord entry = fota::decodeEntry(record);
        entries.push_back(entry);
        // A crafted table can hold millions of entries: list the first few, count the rest.
        if (i < kListedEntries) {
            _Log(LOG_INFO, kMethod, __LINE__, "[FileInfo]: id[%d], crc[%x], offset[%d], size[%d]",
                 static_cast<int>(entry.id), entry.crc, static_cast<int>(entry.offset),
                 static_cast<int>(entry.size));
        }
    }
    if (entryCount > kListedEntries) {
        _Log(LOG_INFO, kMethod, __LINE__, "[FileInfo]: %u more entries not listed",
             entryCount - kListedEntries);
    }

    uint32_t crc = 0;
    if (!readFileCrc(file.get(), crc)) {
        why = "the check value at the end of the file cannot be read";
        _Log(LOG_WARNING, kMethod, __LINE__, "[FileInfo]: %s", why.c_str());
        entries.clear();
        return false;
    }
    fileCrc32 = crc;
    _Log(LOG_INFO, kMethod, __LINE__, "[FileInfo]: fileCrc32[%x]", fileCrc32);
    return true;
}

#include "fota/FileInfo.h"

#include <stdio.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

// Logs a package that cannot be read whole, and hands the error on.
base::Error logged(const char* method, int line, base::Error error) {
    _Log(LOG_WARNING, method, line, "[FileInfo]: %s", error.message().c_str());
    return error;
}

}  // namespace

FileInfo::FileInfo(const std::string& path) : path(path) {
    getFileInfo(path);
}

bool FileInfo::getFileInfo(const std::string& path) {
    return !read(path);
}

base::Error FileInfo::read(const std::string& path) {
    static constexpr const char* kMethod = "FileInfo::getFileInfo";
    File file(std::fopen(path.c_str(), "rbe"));
    if (!file) {
        return base::Error(std::strerror(errno), errno).within("opening package");
    }
    entries.clear();
    fileCrc32 = 0;

    uint8_t header[fota::kHeaderSize];
    if (!readExactly(file.get(), header, sizeof(header))) {
        return logged(kMethod, __LINE__,
                      base::Error("the file is shorter than the " +
                                  std::to_string(fota::kHeaderSize) + "-byte header")
                          .within("reading header"));
    }
    const fota::PackageHeader decoded = fota::decodeHeader(header);
    magicNumber = decoded.magicNumber;
    totalSize = decoded.totalSize;
    entryCount = decoded.entryCount;
    _Log(LOG_INFO, kMethod, __LINE__, "[FileInfo]: magicNumber[%x], totalSize[%d], entryCount[%d]",
         magicNumber, static_cast<int>(totalSize), static_cast<int>(entryCount));
    if (!fota::isValidHeader(decoded)) {
        return base::Error(decoded.magicNumber != fota::kMagicNumber
                               ? "it is not a firmware package (wrong magic number)"
                               : (decoded.totalSize == 0 ? "the header states a package size of 0"
                                                         : "the header states no entries"))
            .within("reading header");
    }

    for (uint32_t i = 0; i < entryCount; ++i) {
        uint8_t record[fota::kEntryRecordSize];
        if (!readExactly(file.get(), record, sizeof(record))) {
            entries.clear();
            return logged(kMethod, __LINE__,
                          base::Error("the table ends after " + std::to_string(i) + " of " +
                                      std::to_string(entryCount) + " entries")
                              .within("reading entry table"));
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
        entries.clear();
        return logged(kMethod, __LINE__,
                      base::Error("the last four bytes of the file cannot be read")
                          .within("reading check value"));
    }
    fileCrc32 = crc;
    _Log(LOG_INFO, kMethod, __LINE__, "[FileInfo]: fileCrc32[%x]", fileCrc32);
    return {};
}

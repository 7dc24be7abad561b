#include "fota/FileInfo.h"

#include <stdio.h>

#include <cstdio>
#include <memory>

#include "base/Log.h"

namespace {

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
    File file(std::fopen(path.c_str(), "rbe"));
    if (!file) {
        return false;
    }
    entries.clear();
    fileCrc32 = 0;

    uint8_t header[fota::kHeaderSize];
    if (!readExactly(file.get(), header, sizeof(header))) {
        _Log(LOG_WARNING, "FileInfo::getFileInfo", __LINE__,
             "[FileInfo]: the file is shorter than the %zu-byte header", fota::kHeaderSize);
        return false;
    }
    const fota::PackageHeader decoded = fota::decodeHeader(header);
    magicNumber = decoded.magicNumber;
    totalSize = decoded.totalSize;
    entryCount = decoded.entryCount;
    _Log(LOG_INFO, "FileInfo::getFileInfo", __LINE__,
         "[FileInfo]: magicNumber[%x], totalSize[%d], entryCount[%d]", magicNumber,
         static_cast<int>(totalSize), static_cast<int>(entryCount));
    if (!fota::isValidHeader(decoded)) {
        return false;
    }

    for (uint32_t i = 0; i < entryCount; ++i) {
        uint8_t record[fota::kEntryRecordSize];
        if (!readExactly(file.get(), record, sizeof(record))) {
            _Log(LOG_WARNING, "FileInfo::getFileInfo", __LINE__,
                 "[FileInfo]: the entry table ends after %u of %u entries", i, entryCount);
            entries.clear();
            return false;
        }
        const fota::EntryRecord entry = fota::decodeEntry(record);
        entries.push_back(entry);
        _Log(LOG_INFO, "FileInfo::getFileInfo", __LINE__,
             "[FileInfo]: id[%d], crc[%x], offset[%d], size[%d]", static_cast<int>(entry.id),
             entry.crc, static_cast<int>(entry.offset), static_cast<int>(entry.size));
    }

    uint32_t crc = 0;
    if (!readFileCrc(file.get(), crc)) {
        _Log(LOG_WARNING, "FileInfo::getFileInfo", __LINE__,
             "[FileInfo]: cannot read the check value at the end of the file");
        entries.clear();
        return false;
    }
    fileCrc32 = crc;
    _Log(LOG_INFO, "FileInfo::getFileInfo", __LINE__, "[FileInfo]: fileCrc32[%x]", fileCrc32);
    return true;
}

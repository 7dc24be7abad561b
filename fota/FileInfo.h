#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/Error.h"
#include "fota/PackageFormat.h"

// The description of a firmware package that the update flow fills and the transfer reads: the
// header, the entry table and the file's check value (layout in fota/PackageFormat.h).
//
// The record keeps its own copy of the path, so it never refers to a caller's buffer that may
// be gone by the time the transfer reads the file.
class FileInfo {
public:
    // Every number 0, no entries, no path.
    FileInfo() = default;
    // Stores the path and reads the package at once; look at the fields for the outcome.
    explicit FileInfo(const std::string& path);

    // Reads the header, the entry table and the check value of the package at path. True when
    // the header was valid and the table and the check value were read whole.
    //  - The file cannot be opened: false, nothing changes.
    //  - The header cannot be read whole: false; the entries are emptied, fileCrc32 is 0.
    //  - The header is invalid (wrong magic number, totalSize 0 or entryCount 0): false; the
    //    header fields keep the values read, the entries stay empty, fileCrc32 stays 0.
    //  - The table or the check value cannot be read whole: false; the entries are emptied and
    //    fileCrc32 is 0, as for an invalid header.
    bool getFileInfo(const std::string& path);
    // The same, telling what is wrong in plain words, prefixed with the step that failed
    // ("reading entry table: the table ends after 2 of 3 entries"); no error when the package
    // was read whole.
    base::Error read(const std::string& path);

    std::string path;
    uint32_t magicNumber = 0;
    uint32_t totalSize = 0;
    uint32_t entryCount = 0;
    std::vector<fota::EntryRecord> entries;
    uint32_t fileCrc32 = 0;
};

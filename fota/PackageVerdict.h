#pragma once

#include <cstdint>
#include <string>

#include "base/Error.h"
#include "fota/FileInfo.h"

// Whether a firmware package file is sound enough to be offered to the earbuds. Only the
// package's structure is judged: the check values inside it are the earbuds' to verify, and the
// program never refuses a package over a check value of its own computing.
namespace fota {

struct PackageVerdict {
    bool valid = false;
    // Why the package is refused, in plain words after the step that found it ("reading entry
    // table: the table is cut short …"); no error when valid.
    base::Error error;
    // The header and table as read (entries empty when the header could not be read).
    FileInfo info;
    uint64_t fileLength = 0;
};

// Reads the package at path and judges it. Refused: a file that cannot be opened; a wrong magic
// number, a totalSize or entryCount of 0; a header, table or check value cut short; more than
// 255 entries; an entry of 16 MiB or more; an entry that reaches past the end of the file; and,
// when announcedSize is not 0, a file length other than announcedSize (the size the update
// server stated before the download).
PackageVerdict checkPackage(const std::string& path, uint64_t announcedSize = 0);

}  // namespace fota

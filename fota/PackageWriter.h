#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/Error.h"
#include "fota/PackageFormat.h"

namespace fota {

// Writes firmware packages: for tests, the virtual earbuds and `auralis-ctl fw pack`.
//
// Layout: header, entry table in the order the entries were added, the contents back to back in
// the same order right after the table, then the CRC-32 of every preceding byte. totalSize
// states the length of the whole file; each table record carries the CRC-32 of its entry.
class PackageWriter {
public:
    // Entries keep the order of the calls; ids may repeat (the earbuds find the first).
    void addEntry(uint32_t id, std::vector<uint8_t> data);
    std::size_t entryCount() const { return m_entries.size(); }

    // The package's bytes. Fails, saying why, when there is no entry (a package needs at least
    // one) or the package would not fit the format's 32-bit offsets.
    base::Error make(std::vector<uint8_t>& package) const;
    // The same; true when the package was made.
    bool build(std::vector<uint8_t>& package) const { return !make(package); }

    // Builds the package and writes it to path through a fresh temporary file in the same folder
    // that replaces path only when it is complete and on disk, so a failed write leaves an
    // existing file as it was. Only a missing path or a regular file is replaced: a device, pipe,
    // socket or folder at path is refused. The error names the file ("cannot write <path>: …").
    base::Error save(const std::filesystem::path& path) const;
    // The same; true when the file was written.
    bool writeFile(const std::filesystem::path& path) const { return !save(path); }

    // The table records of the package build() produces (offsets and CRCs filled in).
    std::vector<EntryRecord> records() const;

private:
    struct Entry {
        uint32_t id;
        std::vector<uint8_t> data;
    };
    std::vector<Entry> m_entries;
};

}  // namespace fota

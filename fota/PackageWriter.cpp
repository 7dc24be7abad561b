#include "fota/PackageWriter.h"

#include <fstream>
#include <limits>
#include <random>
#include <system_error>

#include "fota/Crc32.h"

namespace fota {
namespace {

void setError(std::string* error, std::string message) {
    if (error != nullptr) {
        *error = std::move(message);
    }
}

std::filesystem::path temporaryNameBeside(const std::filesystem::path& path) {
    std::random_device random;
    const auto tag = std::to_string(random()) + std::to_string(random());
    std::filesystem::path temporary = path;
    temporary += "." + tag + ".part";
    return temporary;
}

}  // namespace

void PackageWriter::addEntry(uint32_t id, std::vector<uint8_t> data) {
    m_entries.push_back({id, std::move(data)});
}

std::vector<EntryRecord> PackageWriter::records() const {
    std::vector<EntryRecord> records;
    uint64_t offset = kHeaderSize + kEntryRecordSize * m_entries.size();
    for (const Entry& entry : m_entries) {
        records.push_back({entry.id, crc32(entry.data.data(), entry.data.size()),
                           static_cast<uint32_t>(offset),
                           static_cast<uint32_t>(entry.data.size())});
        offset += entry.data.size();
    }
    return records;
}

bool PackageWriter::build(std::vector<uint8_t>& package, std::string* error) const {
    if (m_entries.empty()) {
        setError(error, "a package needs at least one entry");
        return false;
    }
    uint64_t length = kHeaderSize + kEntryRecordSize * m_entries.size() + kFileCrcSize;
    for (const Entry& entry : m_entries) {
        length += entry.data.size();
    }
    if (length > std::numeric_limits<uint32_t>::max()) {
        setError(error, "the package would be larger than 4 GiB, which its offsets cannot state");
        return false;
    }
    package.assign(static_cast<std::size_t>(length), 0);
    const PackageHeader header{kMagicNumber, static_cast<uint32_t>(length),
                               static_cast<uint32_t>(m_entries.size())};
    encodeHeader(header, package.data());
    const std::vector<EntryRecord> table = records();
    for (std::size_t i = 0; i < table.size(); ++i) {
        encodeEntry(table[i], package.data() + kHeaderSize + i * kEntryRecordSize);
        std::copy(m_entries[i].data.begin(), m_entries[i].data.end(),
                  package.begin() + table[i].offset);
    }
    const std::size_t crcAt = package.size() - kFileCrcSize;
    writeLE32(package.data() + crcAt, crc32(package.data(), crcAt));
    return true;
}

bool PackageWriter::writeFile(const std::filesystem::path& path, std::string* error) const {
    std::vector<uint8_t> package;
    if (!build(package, error)) {
        return false;
    }
    const std::filesystem::path temporary = temporaryNameBeside(path);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(reinterpret_cast<const char*>(package.data()),
                      static_cast<std::streamsize>(package.size()));
            out.flush();
        }
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            setError(error, "cannot write " + path.string());
            return false;
        }
    }
    std::error_code renameError;
    std::filesystem::rename(temporary, path, renameError);
    if (renameError) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        setError(error, "cannot write " + path.string() + ": " + renameError.message());
        return false;
    }
    return true;
}

}  // namespace fota

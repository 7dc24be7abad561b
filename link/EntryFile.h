#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

// The package file of the entry being transferred, held open while the earbuds ask for that
// entry's fragments. A first-generation transfer reads hundreds of fragments per MiB, and
// opening and closing the file for each one cost as much as sending it. The file is opened on
// the entry's first fragment and closed after its last one, when another entry is requested, and
// when the session or the link ends. A read that fails falls back to the reader that opens the
// file afresh for each of its attempts, so a package that changed or went away behaves as before.
// Safe to call from any thread.
class EntryFile {
public:
    EntryFile() = default;
    ~EntryFile();
    EntryFile(const EntryFile&) = delete;
    EntryFile& operator=(const EntryFile&) = delete;

    // Reads exactly count bytes at position of the file at path into out; false when the file
    // could not be read (out must then not be used).
    bool read(const std::string& path, uint64_t position, std::size_t count, uint8_t* out);
    // Lets go of the file; the next read opens it again.
    void close();
    bool isOpen() const;

private:
    bool readHeld(uint64_t position, std::size_t count, uint8_t* out);
    void closeLocked();

    mutable std::mutex m_mutex;
    int m_fd = -1;       // under m_mutex
    std::string m_path;  // under m_mutex
};

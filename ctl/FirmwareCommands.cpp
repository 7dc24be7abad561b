#include "ctl/FirmwareCommands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "ctl/Output.h"
#include "fota/FileInfo.h"
#include "fota/PackageVerdict.h"
#include "fota/PackageWriter.h"

namespace ctl {
namespace {

namespace fs = std::filesystem;

Json describe(const fota::PackageVerdict& verdict) {
    const FileInfo& info = verdict.info;
    Json entries = Json::array();
    for (const fota::EntryRecord& entry : info.entries) {
        entries.push_back(
            {{"id", entry.id}, {"crc", entry.crc}, {"offset", entry.offset}, {"size", entry.size}});
    }
    Json object = {{"magic", info.magicNumber},     {"totalSize", info.totalSize},
                   {"entryCount", info.entryCount}, {"entries", entries},
                   {"fileCrc32", info.fileCrc32},   {"valid", verdict.valid}};
    if (!verdict.valid) {
        object["reason"] = verdict.error.message();
    }
    return object;
}

void printInfo(Output& output, const std::string& path, const fota::PackageVerdict& verdict) {
    if (output.json()) {
        output.object(describe(verdict));
        return;
    }
    const FileInfo& info = verdict.info;
    const bool valid = verdict.valid;
    output.line("File:        " + path);
    output.line("Magic:       " + Output::hex32(info.magicNumber));
    output.line("Total size:  " + std::to_string(info.totalSize) + " bytes");
    output.line("Entries:     " + std::to_string(info.entryCount));
    if (!info.entries.empty()) {
        output.line("  id          crc         offset      size");
        for (const fota::EntryRecord& entry : info.entries) {
            char row[96];
            std::snprintf(row, sizeof(row), "  %-10u  0x%08x  %-10u  %u", entry.id, entry.crc,
                          entry.offset, entry.size);
            output.line(row);
        }
    }
    output.line("File CRC-32: " + Output::hex32(info.fileCrc32));
    output.line(std::string("Valid:       ") + (valid ? "yes" : "no, " + verdict.error.message()));
}

// A readable regular file, or a message saying why not. The file is opened without blocking
// and looked at before anything is read, so a named pipe or a device never stalls the command.
std::optional<std::string> unreadable(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return "cannot open " + path + ": " + std::strerror(errno);
    }
    struct stat info {};
    const bool described = ::fstat(fd, &info) == 0;
    const int statErrno = errno;
    ::close(fd);
    if (!described) {
        return "cannot read " + path + ": " + std::strerror(statErrno);
    }
    if (S_ISDIR(info.st_mode)) {
        return path + " is a folder";
    }
    if (!S_ISREG(info.st_mode)) {
        return path + " is not a regular file (a device, pipe or socket)";
    }
    return std::nullopt;
}

// A package that could not be looked at or written: the final object says so, as it does for
// an unsound one, and stderr says why.
int noPackage(Output& output, const std::string& reason) {
    output.error(reason);
    output.object({{"valid", false}, {"reason", reason}});
    return kExitFailure;
}

int runInfo(const Invocation& invocation, Output& output) {
    const std::string& path = invocation.args[0];
    if (const auto problem = unreadable(path)) {
        // A file that cannot be looked at still gets every field, zero, so that scripts read the
        // same object whatever went wrong.
        output.error(*problem);
        fota::PackageVerdict nothing;
        nothing.error = base::Error(*problem);
        output.object(describe(nothing));
        return kExitFailure;
    }
    const fota::PackageVerdict verdict = fota::checkPackage(path);
    if (!verdict.valid) {
        output.error(path + " is not a valid firmware package: " + verdict.error.message());
    }
    printInfo(output, path, verdict);
    return verdict.valid ? kExitSuccess : kExitFailure;
}

// "ID=FILE" with a decimal or 0x-prefixed id of 0..255 (ids travel in one byte).
bool parseEntryArgument(const std::string& arg, uint32_t& id, std::string& path,
                        std::string& error) {
    const std::size_t equals = arg.find('=');
    if (equals == std::string::npos || equals == 0 || equals + 1 == arg.size()) {
        error = "expected ID=FILE, got '" + arg + "'";
        return false;
    }
    const std::string idText = arg.substr(0, equals);
    const bool hex =
        idText.size() > 2 && idText[0] == '0' && (idText[1] == 'x' || idText[1] == 'X');
    const std::string digits = hex ? idText.substr(2) : idText;
    const char* accepted = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.empty() || digits.size() > 8 ||
        digits.find_first_not_of(accepted) != std::string::npos) {
        error = "entry id '" + idText + "' is not a number";
        return false;
    }
    const unsigned long value = std::stoul(digits, nullptr, hex ? 16 : 10);
    if (value > fota::kMaxTransferId) {
        error = "entry id " + idText + " is out of range (0 to 255)";
        return false;
    }
    id = static_cast<uint32_t>(value);
    path = arg.substr(equals + 1);
    return true;
}

// The entry file's bytes, refused before anything is read when the file is larger than an entry
// can be (the size is checked first, and the read is bounded by it).
bool readEntryFile(const std::string& path, std::vector<uint8_t>& data, std::string& error) {
    if (const auto problem = unreadable(path)) {
        error = *problem;
        return false;
    }
    const std::string tooLarge = path + " is larger than an entry can be (16 MiB less one byte)";
    std::error_code sizeError;
    const std::uintmax_t size = fs::file_size(path, sizeError);
    if (sizeError) {
        error = "cannot read " + path + ": " + sizeError.message();
        return false;
    }
    if (size > fota::kMaxTransferEntrySize) {
        error = tooLarge;
        return false;
    }
    // One byte more than the size, to notice a file that grows while it is read.
    std::ifstream in(path, std::ios::binary);
    data.resize(static_cast<std::size_t>(size) + 1);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (in.bad()) {
        error = "cannot read " + path;
        return false;
    }
    data.resize(static_cast<std::size_t>(in.gcount()));
    if (data.size() > size) {
        error = path + " changed while it was read";
        return false;
    }
    return true;
}

int runPack(const Invocation& invocation, Output& output) {
    const std::string& out = invocation.args[0];
    struct Input {
        uint32_t id;
        std::string path;
    };
    std::vector<Input> inputs;
    for (std::size_t i = 1; i < invocation.args.size(); ++i) {
        Input input{};
        std::string error;
        if (!parseEntryArgument(invocation.args[i], input.id, input.path, error)) {
            output.error(error);
            return kExitUsage;
        }
        inputs.push_back(std::move(input));
    }
    if (inputs.size() > fota::kMaxTransferEntries) {
        output.error("a package carries at most 255 entries");
        return kExitUsage;
    }

    fota::PackageWriter writer;
    for (const Input& input : inputs) {
        std::vector<uint8_t> data;
        std::string error;
        if (!readEntryFile(input.path, data, error)) {
            return noPackage(output, error);
        }
        if (input.id > fota::kMaxRequestableId) {
            output.warning("entry id " + std::to_string(input.id) +
                           " is above 127; the earbuds can never request it");
        }
        writer.addEntry(input.id, std::move(data));
    }

    if (const base::Error error = writer.save(out)) {
        return noPackage(output, error.message());
    }
    const fota::PackageVerdict verdict = fota::checkPackage(out);
    const FileInfo& info = verdict.info;
    const bool valid = verdict.valid;
    if (output.json()) {
        output.object(describe(verdict));
    } else {
        output.line("Wrote " + out + ": " + std::to_string(info.entryCount) + " entries, " +
                    std::to_string(info.totalSize) + " bytes, file CRC-32 " +
                    Output::hex32(info.fileCrc32));
    }
    return valid ? kExitSuccess : kExitFailure;
}

}  // namespace

void addFirmwareCommands(CommandTable& table) {
    table.add({.words = {"fw", "info"},
               .argsUsage = "FILE",
               .summary = "show the header, entry table and check value of a firmware package",
               .minArgs = 1,
               .maxArgs = 1,
               .run = runInfo});
    table.add({.words = {"fw", "pack"},
               .argsUsage = "OUT ID=FILE...",
               .summary = "write a firmware package OUT with one entry per ID=FILE (id 0-255)",
               .minArgs = 2,
               .run = runPack});
}

}  // namespace ctl

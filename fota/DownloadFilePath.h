#pragma once

#include <cstdint>
#include <string>

// Where a downloaded firmware package is kept: in the user's temporary folder, under the name the
// download address gives after its first "&file=".
namespace fota {

// The longest file name kept (most file systems allow 255 bytes; ".temp" and ".part" go on top).
constexpr std::size_t kMaxPackageFileNameLength = 200;

// The file name after the first "&file=" of url, reduced to one plain file name that can never
// name another folder: the value ends at the next '&' or '#'; everything up to the last '/' or
// '\\' is dropped; characters other than letters, digits, '.', '-' and '_' become '_'; leading
// dots are dropped (so "..", "." and hidden names cannot occur); the result is cut to
// kMaxPackageFileNameLength bytes. Empty when there is no "&file=" or nothing usable follows it
// (logged as "GetDownLoadFilePath: Can not find file name in url: %s" by GetDownLoadFilePath).
std::string safePackageFileName(const std::string& url);

// "<temporary folder>/<name>.temp" (temporary) or "<temporary folder>/<name>" (final), the name
// from safePackageFileName. Empty when the temporary folder is refused: no path is ever built
// from an empty folder (it would name the file system's root). Without a usable name the temporary
// file is ".temp" and the final path is the folder itself followed by '/', which no rename can
// replace: the flow refuses it.
std::string GetDownLoadFilePath(const std::string& url, bool temporary);

// The file name under which the package of one pair is kept: the pair's address (twelve hex
// digits, so two pairs updated at once never share a file) and a dash before the name from the
// address (safePackageFileName), or, when the address names none, "Auralis_<model>_<version>.bin"
// made plain the same way. Never empty.
std::string packageFileName(const std::string& url, const std::string& model,
                            const std::string& version, uint64_t pairAddress);

// "<temporary folder>/<name>.temp" (temporary) or "<temporary folder>/<name>"; empty when the
// temporary folder is refused.
std::string packageFilePath(const std::string& name, bool temporary);

}  // namespace fota

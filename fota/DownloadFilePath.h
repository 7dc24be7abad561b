#pragma once

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

}  // namespace fota

#pragma once

#include <string>

namespace updater {

// The installer's file name, taken from its download address: everything from the first
// "Lumora" on (the whole address when it does not occur), reduced to a plain file name that can
// only ever name a file directly inside the temporary folder.
//
// The address comes from the update server and is not trusted: a query string or fragment is
// dropped, only the part after the last '/' or '\' is kept, every character other than letters,
// digits, '.', '-', '_' and '+' becomes '_', leading dots go (no "..", no hidden files), the
// name is cut to kMaxLength bytes, and an empty result becomes kFallback.
class InstallerFileName {
public:
    static constexpr const char* kMarker = "Lumora";
    static constexpr const char* kFallback = "AuralisManagerSetup";
    // Leaves room for ".temp" and the download's ".part" within the usual 255-byte limit.
    static constexpr std::size_t kMaxLength = 200;

    static std::string FromAddress(const std::string& address);
};

}  // namespace updater

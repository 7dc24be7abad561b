#include "updater/InstallerFileName.h"

#include <cctype>

namespace updater {
namespace {

bool IsPlain(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-' || c == '_' ||
           c == '+';
}

}  // namespace

std::string InstallerFileName::FromAddress(const std::string& address) {
    std::string name = address;
    if (const std::size_t marker = name.find(kMarker); marker != std::string::npos) {
        name.erase(0, marker);
    }
    if (const std::size_t query = name.find_first_of("?#"); query != std::string::npos) {
        name.erase(query);
    }
    if (const std::size_t slash = name.find_last_of("/\\"); slash != std::string::npos) {
        name.erase(0, slash + 1);
    }
    for (char& c : name) {
        if (!IsPlain(c)) {
            c = '_';
        }
    }
    const std::size_t firstNonDot = name.find_first_not_of('.');
    name.erase(0, firstNonDot == std::string::npos ? name.size() : firstNonDot);
    if (name.size() > kMaxLength) {
        name.resize(kMaxLength);
    }
    return name.empty() ? std::string(kFallback) : name;
}

}  // namespace updater

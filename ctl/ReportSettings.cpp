#include "ctl/ReportSettings.h"

#include <algorithm>
#include <regex>

namespace ctl {
namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool secretKey(const std::string& key) {
    const std::string lower = lowerCase(key);
    for (const char* word : {"password", "passwd", "token", "secret", "key", "auth", "credential",
                             "cookie", "session"}) {
        if (lower.find(word) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// "https://user:pw@host/path?q#f" → "https://host/path".
std::string plainAddress(const std::string& value) {
    const std::size_t scheme = value.find("://");
    if (scheme == std::string::npos) {
        return value;
    }
    std::string rest = value.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("?#"));
    const std::size_t slash = rest.find('/');
    const std::size_t at = rest.find('@');
    if (at != std::string::npos && (slash == std::string::npos || at < slash)) {
        rest = rest.substr(at + 1);
    }
    return value.substr(0, scheme + 3) + rest;
}

std::string withoutHome(std::string value, const std::string& home) {
    if (home.size() < 2) {
        return value;
    }
    for (std::size_t at = value.find(home); at != std::string::npos; at = value.find(home, at)) {
        value.replace(at, home.size(), "~");
    }
    return value;
}

}  // namespace

std::string reportSettings(const std::string& xml, const std::string& home) {
    // The file's items: <Item key="K" value="V"/> (the writer escapes quotes inside values).
    static const std::regex item(R"re(key="([^"]*)"(\s+)value="([^"]*)")re");
    std::string out;
    auto last = xml.cbegin();
    for (std::sregex_iterator it(xml.begin(), xml.end(), item), end; it != end; ++it) {
        const std::smatch& match = *it;
        out.append(last, match[0].first);
        const std::string key = match[1].str();
        std::string value = match[3].str();
        value = secretKey(key) ? std::string("(removed)") : withoutHome(plainAddress(value), home);
        out += "key=\"" + key + "\"" + match[2].str() + "value=\"" + value + "\"";
        last = match[0].second;
    }
    out.append(last, xml.cend());
    return withoutHome(out, home);
}

}  // namespace ctl

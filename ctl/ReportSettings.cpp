#include "ctl/ReportSettings.h"

#include <algorithm>
#include <string_view>
#include <utility>

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

std::string withoutHome(const std::string& value, const std::string& home) {
    if (home.size() < 2) {
        return value;
    }
    std::string out;
    std::size_t done = 0;
    for (std::size_t at = value.find(home); at != std::string::npos; at = value.find(home, done)) {
        out.append(value, done, at - done);
        out += '~';
        done = at + home.size();
    }
    out.append(value, done, std::string::npos);
    return out;
}

// The quoted text after opening (`key="`) at or after from: its start and end; npos when there is
// none.
std::pair<std::size_t, std::size_t> quoted(const std::string& xml, std::string_view opening,
                                           std::size_t from) {
    const std::size_t at = xml.find(opening, from);
    if (at == std::string::npos) {
        return {std::string::npos, std::string::npos};
    }
    const std::size_t start = at + opening.size();
    return {start, xml.find('"', start)};
}

}  // namespace

std::string reportSettings(const std::string& xml, const std::string& home) {
    // The file's items: <Item key="K" value="V"/> (the writer escapes quotes inside values).
    std::string out;
    std::size_t done = 0;
    while (true) {
        const auto [keyStart, keyEnd] = quoted(xml, "key=\"", done);
        if (keyEnd == std::string::npos) {
            break;
        }
        const auto [valueStart, valueEnd] = quoted(xml, "value=\"", keyEnd);
        const std::size_t itemEnd = xml.find('>', keyEnd);
        if (valueEnd == std::string::npos ||
            (itemEnd != std::string::npos && valueStart > itemEnd)) {
            out.append(xml, done, keyEnd + 1 - done);
            done = keyEnd + 1;
            continue;
        }
        const std::string key = xml.substr(keyStart, keyEnd - keyStart);
        const std::string value = xml.substr(valueStart, valueEnd - valueStart);
        out.append(xml, done, valueStart - done);
        out += secretKey(key) ? std::string("(removed)") : withoutHome(plainAddress(value), home);
        done = valueEnd;
    }
    out.append(xml, done, std::string::npos);
    return withoutHome(out, home);
}

}  // namespace ctl

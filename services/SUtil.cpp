#include "services/SUtil.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "platform/Paths.h"

namespace {

namespace fs = std::filesystem;

std::string privateFolder(const fs::path& folder) {
    if (!platform::paths::ensurePrivateFolder(folder)) {
        return {};
    }
    std::string text = folder.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Splits off the leading run of digits or of non-digits.
std::string_view takeRun(std::string_view& part) {
    const bool digits = isDigit(part.front());
    std::size_t length = 1;
    while (length < part.size() && isDigit(part[length]) == digits) {
        ++length;
    }
    std::string_view run = part.substr(0, length);
    part.remove_prefix(length);
    return run;
}

int compareNumbers(std::string_view a, std::string_view b) {
    while (a.size() > 1 && a.front() == '0') {
        a.remove_prefix(1);
    }
    while (b.size() > 1 && b.front() == '0') {
        b.remove_prefix(1);
    }
    if (a.size() != b.size()) {
        return a.size() > b.size() ? 1 : -1;
    }
    const int order = a.compare(b);
    return order > 0 ? 1 : (order < 0 ? -1 : 0);
}

int compareTexts(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) {
            return ca > cb ? 1 : -1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() > b.size() ? 1 : -1);
}

int compareParts(std::string_view a, std::string_view b) {
    while (!a.empty() && !b.empty()) {
        const std::string_view runA = takeRun(a);
        const std::string_view runB = takeRun(b);
        const bool numberA = isDigit(runA.front());
        const bool numberB = isDigit(runB.front());
        int order = 0;
        if (numberA && numberB) {
            order = compareNumbers(runA, runB);
        } else if (numberA != numberB) {
            order = numberA ? 1 : -1;
        } else {
            order = compareTexts(runA, runB);
        }
        if (order != 0) {
            return order;
        }
    }
    return a.empty() == b.empty() ? 0 : (a.empty() ? -1 : 1);
}

std::string_view nextPart(std::string_view& version) {
    const std::size_t dot = version.find('.');
    std::string_view part = version.substr(0, dot);
    version.remove_prefix(dot == std::string_view::npos ? version.size() : dot + 1);
    return part;
}

// A word of a command line with its quotes removed. `glued` holds what followed the first quote
// when the word did not start with one ("/v\"1.2\"" → head "/v", glued "1.2").
struct Word {
    std::string text;
    bool quoted = false;
    std::string head;
    std::string glued;
    bool hasGlued = false;
};

// Reads one word starting at pos; with splitAtBlanks false the whole rest is one word.
Word readWord(std::string_view line, std::size_t& pos, bool splitAtBlanks) {
    Word word;
    bool inQuotes = false;
    for (; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            if (!word.quoted && !word.text.empty()) {
                word.head = word.text;
                word.hasGlued = true;
            }
            word.quoted = true;
            inQuotes = !inQuotes;
            continue;
        }
        if (splitAtBlanks && !inQuotes && std::isspace(static_cast<unsigned char>(c)) != 0) {
            break;
        }
        word.text.push_back(c);
    }
    if (word.hasGlued) {
        word.glued = word.text.substr(word.head.size());
    }
    return word;
}

std::vector<Word> splitCommandLine(std::string_view line) {
    std::vector<Word> words;
    std::size_t pos = 0;
    while (pos < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[pos])) != 0) {
            ++pos;
            continue;
        }
        words.push_back(readWord(line, pos, true));
    }
    return words;
}

bool sameSwitch(const std::string& a, const std::string& b) {
    return a.size() == b.size() && compareTexts(a, b) == 0;
}

std::string valueAfter(const std::vector<Word>& words, const std::string& key) {
    if (key.empty()) {
        return {};
    }
    for (std::size_t i = 0; i < words.size(); ++i) {
        const Word& word = words[i];
        if (word.hasGlued && sameSwitch(word.head, key)) {
            return word.glued;
        }
        if (word.quoted || !sameSwitch(word.text, key)) {
            continue;
        }
        if (i + 1 >= words.size()) {
            return {};
        }
        const Word& value = words[i + 1];
        if (!value.quoted && !value.text.empty() && value.text.front() == '/') {
            return {};  // another switch: this one has no value
        }
        return value.text;
    }
    return {};
}

}  // namespace

std::string SUtil::GetUserFolder() {
    return privateFolder(platform::paths::userFolder());
}

std::string SUtil::GetUserTempFolder() {
    return privateFolder(platform::paths::tempFolder());
}

bool SUtil::FileExist(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::exists(fs::path(path), error);
}

int SUtil::CompareVersion(const std::string& a, const std::string& b) {
    std::string_view left = trim(a);
    std::string_view right = trim(b);
    if (left.empty() || right.empty()) {
        return left.empty() == right.empty() ? 0 : (left.empty() ? -1 : 1);
    }
    while (!left.empty() || !right.empty()) {
        std::string_view partA = nextPart(left);
        std::string_view partB = nextPart(right);
        if (partA.empty()) {
            partA = "0";
        }
        if (partB.empty()) {
            partB = "0";
        }
        const int order = compareParts(partA, partB);
        if (order != 0) {
            return order;
        }
    }
    return 0;
}

int SUtil::GetTokenCount(const std::string& text, char ch) {
    if (text.empty()) {
        return 0;
    }
    return 1 + static_cast<int>(std::count(text.begin(), text.end(), ch));
}

int SUtil::IsNetWorkConnectionCheck() {
    const char* offline = std::getenv("AURALIS_OFFLINE");
    if (offline != nullptr && std::strcmp(offline, "1") == 0) {
        return 0;
    }
    // "0" states the opposite: connected, whatever the interfaces say (tests, demonstrations).
    if (offline != nullptr && std::strcmp(offline, "0") == 0) {
        return 1;
    }
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return 0;
    }
    int online = 0;
    for (const ifaddrs* entry = list; entry != nullptr && online == 0; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr) {
            continue;
        }
        const int family = entry->ifa_addr->sa_family;
        const unsigned flags = entry->ifa_flags;
        if ((family == AF_INET || family == AF_INET6) && (flags & IFF_UP) != 0 &&
            (flags & IFF_RUNNING) != 0 && (flags & IFF_LOOPBACK) == 0) {
            online = 1;
        }
    }
    ::freeifaddrs(list);
    return online;
}

std::string SUtil::GetStringSizeFromByte(std::uint64_t bytes) {
    return GetFileLengthString(static_cast<double>(bytes));
}

void SUtil::GetStringSizeFromByte(std::uint64_t bytes, std::string& out) {
    out = GetStringSizeFromByte(bytes);
}

std::string SUtil::GetFileLengthString(double bytes) {
    static const char* const kUnits[] = {"B", "KB", "MB", "GB", "TB"};
    constexpr int kLastUnit = 4;
    if (!(bytes > 0)) {
        return "0 B";  // also NaN
    }
    double value = bytes;
    int unit = 0;
    char text[64];
    for (;;) {
        // Round first, so 1023.97 KB reads "1 MB" and not "1024 KB".
        const double rounded =
            value < 10 && unit > 0 ? std::round(value * 10) / 10 : std::round(value);
        if (rounded < 1024 || unit == kLastUnit) {
            if (rounded < 10 && unit > 0 && rounded != std::floor(rounded)) {
                std::snprintf(text, sizeof(text), "%.1f %s", rounded, kUnits[unit]);
            } else {
                std::snprintf(text, sizeof(text), "%.0f %s", rounded, kUnits[unit]);
            }
            return text;
        }
        value /= 1024;
        ++unit;
    }
}

std::string SUtil::CStringToChar(const std::string& text) {
    return text;
}

std::string SUtil::GetArgvValue(const std::string& cmdline, const std::string& key) {
    return valueAfter(splitCommandLine(cmdline), key);
}

std::string SUtil::GetArgvValue(const std::vector<std::string>& args, const std::string& key) {
    std::vector<Word> words;
    words.reserve(args.size());
    for (const std::string& arg : args) {
        std::size_t pos = 0;
        words.push_back(readWord(arg, pos, false));
    }
    return valueAfter(words, key);
}

#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <shared_mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// User-visible texts by key. The tables are JSON objects of key → UTF-8 text in
// <install path>/res/strings/<language>.json. A look-up tries the table of the chosen language,
// then en-US, then yields the key itself, so a missing translation never shows an empty label.
//
// Texts that take arguments carry the placeholders %1 … %9, replaced by the first … ninth
// argument ("%%" is a literal percent sign; a "%" before anything else stays as it is). The
// placeholders may appear in any order, so a translation can reorder its arguments.
//
// One process-wide object (AfxGetLocale). Safe to use from any thread.
class SLocale {
public:
    SLocale() = default;
    SLocale(const SLocale&) = delete;
    SLocale& operator=(const SLocale&) = delete;

    // Chooses the language ("ko-KR"): the first table of TableCandidates, else en-US alone.
    // Returns true when a table of that language was found.
    bool SetLocale(const std::string& language);
    // The tables tried for a language, in order: its own ("es-AR"), its bare language ("es"),
    // then the culture of that language that reads most naturally there ("es-MX").
    static std::vector<std::string> TableCandidates(const std::string& language);
    // Releases the tables. Later look-ups load en-US again.
    void ExitLocale();
    // The language given to SetLocale; "en-US" before.
    std::string GetLanguage() const;

    // The text of key after the fallbacks described above.
    std::string GetString(std::string_view key);

    // The folder of the tables; empty restores <install path>/res/strings. Takes effect with
    // the next SetLocale.
    void SetResourceFolder(const std::filesystem::path& folder);

    // Replaces %1 … %9 in text by args[0] … args[8] (see above).
    static std::string Format(std::string_view text, std::span<const std::string_view> args);

private:
    using Table = std::map<std::string, std::string, std::less<>>;

    std::filesystem::path folder() const;
    bool loadTable(const std::string& language, Table& table) const;
    void ensureLoaded();

    mutable std::shared_mutex m_mutex;
    std::filesystem::path m_folder;
    std::string m_language = "en-US";
    bool m_loaded = false;
    Table m_chosen;
    Table m_english;
};

// The process-wide localisation object.
SLocale* AfxGetLocale();

// The localised text of key.
std::string AfxGetStrRes(std::string_view key);

// The localised text of key with its placeholders %1 … %count filled from the arguments (texts:
// anything that converts to std::string_view). Only the first count arguments are used.
std::string AfxGetStrResFormatList(std::string_view key, int count,
                                   std::span<const std::string_view> args);

template <typename... Args>
std::string AfxGetStrResFormat(std::string_view key, int count, const Args&... args) {
    const std::array<std::string_view, sizeof...(Args)> list{std::string_view(args)...};
    return AfxGetStrResFormatList(key, count, list);
}

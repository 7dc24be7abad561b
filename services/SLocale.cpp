#include "services/SLocale.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iterator>
#include <mutex>

#include "base/Log.h"
#include "services/AtomicFile.h"
#include "services/EnvironVar.h"
#include "services/LanguageCatalogue.h"

namespace {

constexpr const char* kEnglish = "en-US";

// A language name becomes part of a file name: allow only letters, digits, '-' and '_'.
bool safeLanguageName(const std::string& language) {
    return !language.empty() && language.size() <= 32 &&
           std::all_of(language.begin(), language.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_';
           });
}

}  // namespace

std::vector<std::string> SLocale::TableCandidates(const std::string& language) {
    const std::size_t separator = language.find_first_of("-_");
    const std::string bare = language.substr(0, separator);
    const std::string region =
        separator == std::string::npos ? std::string() : language.substr(separator + 1);
    std::vector<std::string> candidates{language};
    if (bare != language) {
        candidates.push_back(bare);
    }
    // The culture whose texts read most naturally where a region has no table of its own: the
    // one that serves the region (Latin-American Spanish reads the Mexican table), then the
    // language's default culture ("ar-SA" → "ar-AE"). English is every look-up's fallback
    // anyway; an English region without a table of its own is reported as missing.
    if (const services::LanguageRow* serving =
            services::LanguageCatalogue::ServingRegion(bare, region)) {
        candidates.emplace_back(serving->tag);
    }
    const services::LanguageRow* main = services::LanguageCatalogue::DefaultFor(bare);
    if (main != nullptr && main->tag != kEnglish) {
        candidates.emplace_back(main->tag);
    }
    // Keep the first of each, in order.
    std::vector<std::string> unique;
    for (const std::string& candidate : candidates) {
        if (std::find(unique.begin(), unique.end(), candidate) == unique.end()) {
            unique.push_back(candidate);
        }
    }
    return unique;
}

bool SLocale::SetLocale(const std::string& language) {
    Table chosen;
    Table english;
    loadTable(kEnglish, english);
    bool found = false;
    for (const std::string& candidate : TableCandidates(language)) {
        if (loadTable(candidate, chosen)) {
            found = true;
            break;
        }
    }
    if (!found) {
        _Log(LOG_WARNING, "SLocale::SetLocale", __LINE__, "no texts for %s, using %s",
             language.c_str(), kEnglish);
    }
    std::unique_lock lock(m_mutex);
    m_language = language;
    m_chosen = std::move(chosen);
    m_english = std::move(english);
    m_loaded = true;
    return found;
}

void SLocale::ExitLocale() {
    std::unique_lock lock(m_mutex);
    m_chosen.clear();
    m_english.clear();
    m_language = kEnglish;
    m_loaded = false;
}

std::string SLocale::GetLanguage() const {
    std::shared_lock lock(m_mutex);
    return m_language;
}

std::string SLocale::GetString(std::string_view key) {
    ensureLoaded();
    std::shared_lock lock(m_mutex);
    for (const Table* table : {&m_chosen, &m_english}) {
        const auto found = table->find(key);
        if (found != table->end()) {
            return found->second;
        }
    }
    return std::string(key);
}

void SLocale::SetResourceFolder(const std::filesystem::path& folder) {
    std::unique_lock lock(m_mutex);
    m_folder = folder;
}

std::string SLocale::Format(std::string_view text, std::span<const std::string_view> args) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '%' || i + 1 >= text.size()) {
            result.push_back(c);
            continue;
        }
        const char next = text[i + 1];
        if (next == '%') {
            result.push_back('%');
            ++i;
        } else if (next >= '1' && next <= '9' &&
                   static_cast<std::size_t>(next - '1') < args.size()) {
            result.append(args[static_cast<std::size_t>(next - '1')]);
            ++i;
        } else {
            result.push_back(c);
        }
    }
    return result;
}

std::filesystem::path SLocale::folder() const {
    std::shared_lock lock(m_mutex);
    if (!m_folder.empty()) {
        return m_folder;
    }
    return std::filesystem::path(EnvironVar::GetInstallPath()) / "res" / "strings";
}

bool SLocale::loadTable(const std::string& language, Table& table) const {
    if (!safeLanguageName(language)) {
        return false;
    }
    const std::filesystem::path path = folder() / (language + ".json");
    std::string text;
    if (!services::AtomicFile::read(path, text)) {
        return false;
    }
    const nlohmann::json object = nlohmann::json::parse(text, nullptr, false);
    if (!object.is_object()) {
        _Log(LOG_WARNING, "SLocale::loadTable", __LINE__, "malformed text table %s", path.c_str());
        return false;
    }
    for (const auto& [key, value] : object.items()) {
        if (value.is_string()) {
            table.emplace(key, value.get<std::string>());
        }
    }
    return true;
}

void SLocale::ensureLoaded() {
    {
        std::shared_lock lock(m_mutex);
        if (m_loaded) {
            return;
        }
    }
    Table english;
    loadTable(kEnglish, english);
    std::unique_lock lock(m_mutex);
    if (!m_loaded) {
        m_english = std::move(english);
        m_loaded = true;
    }
}

SLocale* AfxGetLocale() {
    // Never destroyed: worker threads may still look up texts while the process ends.
    static SLocale* locale = new SLocale();
    return locale;
}

std::string AfxGetStrRes(std::string_view key) {
    return AfxGetLocale()->GetString(key);
}

std::string AfxGetStrResFormatList(std::string_view key, int count,
                                   std::span<const std::string_view> args) {
    const std::size_t used =
        count <= 0 ? 0 : std::min(args.size(), static_cast<std::size_t>(count));
    return SLocale::Format(AfxGetStrRes(key), args.first(used));
}

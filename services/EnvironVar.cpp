#include "services/EnvironVar.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <string_view>

#include "auralis/Version.h"
#include "base/Log.h"
#include "platform/Paths.h"
#include "services/AtomicFile.h"
#include "services/LanguageCatalogue.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kFlagsFile = "flags.json";
// Far above the flags file the program writes (some hundred bytes); a larger one is not read.
constexpr std::uintmax_t kMaxFlagsSize = 1u << 20;

struct Flags {
    int notify = 1;
    int notifyFirmware = 0;
    int firmwareStatus = 1;
    std::uint32_t lastFirmwareUpdate = 0;
    // The same time for each pair, by its address ("AA:BB:CC:DD:EE:FF").
    std::map<std::string, std::uint32_t> lastFirmwareUpdateByPair;
    int guest = 0;
    int multiPopup = 1;
};

int readInt(const nlohmann::json& object, const char* name, int fallback) {
    const auto found = object.find(name);
    return found != object.end() && found->is_number_integer() ? found->get<int>() : fallback;
}

class FlagStore {
public:
    Flags get() {
        std::lock_guard lock(m_mutex);
        loadOnce();
        return m_flags;
    }

    template <typename Change>
    void change(Change&& apply) {
        std::lock_guard lock(m_mutex);
        loadOnce();
        apply(m_flags);
        save();
    }

    void reload() {
        std::lock_guard lock(m_mutex);
        m_loaded = false;
        loadOnce();
    }

private:
    // Empty when there is no private user folder: the flags then live only in memory.
    static fs::path file() {
        const fs::path folder = platform::paths::userFolder();
        return folder.empty() ? fs::path() : folder / kFlagsFile;
    }

    void loadOnce() {
        if (m_loaded) {
            return;
        }
        m_loaded = true;
        m_flags = Flags();
        m_storable = true;
        const fs::path path = file();
        std::error_code error;
        const fs::file_type type =
            path.empty() ? fs::file_type::not_found : fs::status(path, error).type();
        if (type == fs::file_type::not_found) {
            return;  // first start: the defaults
        }
        std::string text;
        std::string why;
        if (!services::AtomicFile::read(path, text, kMaxFlagsSize, &why)) {
            // What cannot be read (a folder, pipe or device in its place, a file far too large
            // to be ours) is left alone: the flags live in memory.
            m_storable = false;
            _Log(LOG_WARNING, "EnvironVar::load", __LINE__, "cannot read %s (%s), using defaults",
                 path.c_str(), why.c_str());
            return;
        }
        const nlohmann::json object = nlohmann::json::parse(text, nullptr, false);
        if (!object.is_object()) {
            keepDamagedCopy(path, text);
            return;
        }
        m_flags.notify = readInt(object, "notify", m_flags.notify);
        m_flags.notifyFirmware = readInt(object, "notifyFirmware", m_flags.notifyFirmware);
        m_flags.firmwareStatus = readInt(object, "firmwareStatus", m_flags.firmwareStatus);
        const auto last = object.find("lastFirmwareUpdate");
        if (last != object.end() && last->is_number_unsigned()) {
            m_flags.lastFirmwareUpdate = static_cast<std::uint32_t>(last->get<std::uint64_t>());
        }
        m_flags.guest = readInt(object, "guest", m_flags.guest);
        m_flags.multiPopup = readInt(object, "multiPopup", m_flags.multiPopup);
        const auto byPair = object.find("lastFirmwareUpdateByPair");
        if (byPair != object.end() && byPair->is_object()) {
            for (const auto& [address, seconds] : byPair->items()) {
                if (seconds.is_number_unsigned()) {
                    m_flags.lastFirmwareUpdateByPair[address] =
                        static_cast<std::uint32_t>(seconds.get<std::uint64_t>());
                }
            }
        }
    }

    // A damaged file is kept beside it as flags.json.bad before the defaults replace it.
    static void keepDamagedCopy(const fs::path& path, const std::string& text) {
        fs::path copy = path;
        copy += ".bad";
        const bool kept = services::AtomicFile::write(copy, text);
        _Log(LOG_WARNING, "EnvironVar::load", __LINE__, "unreadable %s, using defaults%s",
             path.c_str(), kept ? " (kept as .bad)" : "; no copy could be kept");
    }

    void save() {
        if (!m_storable) {
            return;
        }
        const nlohmann::json object = {
            {"notify", m_flags.notify},
            {"notifyFirmware", m_flags.notifyFirmware},
            {"firmwareStatus", m_flags.firmwareStatus},
            {"lastFirmwareUpdate", m_flags.lastFirmwareUpdate},
            {"guest", m_flags.guest},
            {"multiPopup", m_flags.multiPopup},
            {"lastFirmwareUpdateByPair", m_flags.lastFirmwareUpdateByPair},
        };
        if (!services::AtomicFile::write(file(), object.dump(2) + "\n")) {
            _Log(LOG_WARNING, "EnvironVar::save", __LINE__, "cannot write %s", file().c_str());
        }
    }

    std::mutex m_mutex;
    bool m_loaded = false;
    // False while something other than a file stands where the flags belong.
    bool m_storable = true;
    Flags m_flags;
};

FlagStore& store() {
    static FlagStore instance;
    return instance;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

// The usual region of a language given without one.
std::string withRegion(const std::string& language) {
    const services::LanguageRow* row = services::LanguageCatalogue::DefaultFor(language);
    return row != nullptr ? std::string(row->tag) : language;
}

}  // namespace

std::string EnvironVar::LanguageFromLocale(const std::string& locale) {
    // language[_territory][.codeset][@modifier]
    std::string_view text = locale;
    text = text.substr(0, text.find_first_of(".@"));
    if (text.empty() || text == "C" || text == "POSIX") {
        return "en-US";
    }
    std::string language;
    std::string region;
    const std::size_t separator = text.find_first_of("_-");
    for (char c : text.substr(0, separator)) {
        language.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    if (separator != std::string_view::npos) {
        for (char c : text.substr(separator + 1)) {
            region.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        }
    }
    if (language.empty() || !std::all_of(language.begin(), language.end(),
                                         [](char c) { return c >= 'a' && c <= 'z'; })) {
        return "en-US";
    }
    // glibc still ships Hebrew under its withdrawn code ("iw_IL").
    if (language == "iw") {
        language = "he";
    }
    return region.empty() ? withRegion(language) : language + "-" + region;
}

std::string EnvironVar::GetLanguage() {
    for (const char* name : {"AURALIS_LANG", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const std::string value = environment(name);
        if (!value.empty()) {
            return LanguageFromLocale(value);
        }
    }
    return "en-US";
}

std::string EnvironVar::GetInstallPath() {
    std::string folder = platform::paths::executableFolder().string();
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder;
}

std::string EnvironVar::GetLocalVer() {
    std::string version = environment("AURALIS_LOCAL_VERSION");
    if (version.empty()) {
        version = AURALIS_VERSION;
    }
    std::replace(version.begin(), version.end(), '_', '.');
    return version;
}

int EnvironVar::GetIsNotifyUpdate() {
    return store().get().notify;
}
void EnvironVar::SetIsNotifyUpdate(int value) {
    store().change([value](Flags& flags) { flags.notify = value; });
}

int EnvironVar::GetIsNotifyUpdateFW() {
    return store().get().notifyFirmware;
}
void EnvironVar::SetIsNotifyUpdateFW(int value) {
    store().change([value](Flags& flags) { flags.notifyFirmware = value; });
}

int EnvironVar::GetUpdateFWStatus() {
    return store().get().firmwareStatus;
}
void EnvironVar::SetUpdateFWStatus(int value) {
    store().change([value](Flags& flags) { flags.firmwareStatus = value; });
}

std::uint32_t EnvironVar::GetLastTimeUpdateFW() {
    return store().get().lastFirmwareUpdate;
}
void EnvironVar::SetLastTimeUpdateFW(std::uint32_t seconds) {
    store().change([seconds](Flags& flags) { flags.lastFirmwareUpdate = seconds; });
}

std::uint32_t EnvironVar::GetLastTimeUpdateFW(const std::string& address) {
    const Flags flags = store().get();
    const auto found = flags.lastFirmwareUpdateByPair.find(address);
    return found != flags.lastFirmwareUpdateByPair.end() ? found->second : 0;
}
void EnvironVar::SetLastTimeUpdateFW(const std::string& address, std::uint32_t seconds) {
    store().change([&address, seconds](Flags& flags) {
        flags.lastFirmwareUpdate = seconds;
        flags.lastFirmwareUpdateByPair[address] = seconds;
    });
}

int EnvironVar::IsSupportGuest() {
    return store().get().guest;
}
void EnvironVar::SetSupportGuest(int value) {
    store().change([value](Flags& flags) { flags.guest = value; });
}

int EnvironVar::IsSupportMultiPopup() {
    return store().get().multiPopup;
}
void EnvironVar::SetSupportMultiPopup(int value) {
    store().change([value](Flags& flags) { flags.multiPopup = value; });
}

void EnvironVar::Reload() {
    store().reload();
}

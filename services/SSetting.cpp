#include "services/SSetting.h"

#include <tinyxml2.h>

#include <filesystem>
#include <system_error>
#include <utility>

#include "base/Log.h"
#include "services/AtomicFile.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kDefaultSection = "Update";
// Far above any settings file the program writes (some hundred bytes); a larger file is not
// one of ours and is not read into memory.
constexpr std::uintmax_t kMaxSettingsSize = 1u << 20;

using Sections = std::map<std::string, std::map<std::string, std::string>>;

// Reads the sections of a settings document; false when it is not one.
bool parseSettings(const std::string& text, Sections& sections) {
    tinyxml2::XMLDocument document;
    if (document.Parse(text.c_str(), text.size()) != tinyxml2::XML_SUCCESS) {
        return false;
    }
    const tinyxml2::XMLElement* root = document.RootElement();
    if (root == nullptr || std::string(root->Name()) != "Setting") {
        return false;
    }
    for (const auto* section = root->FirstChildElement("Section"); section != nullptr;
         section = section->NextSiblingElement("Section")) {
        const char* name = section->Attribute("name");
        if (name == nullptr || name[0] == '\0') {
            continue;
        }
        auto& values = sections[name];
        for (const auto* item = section->FirstChildElement("Item"); item != nullptr;
             item = item->NextSiblingElement("Item")) {
            const char* key = item->Attribute("key");
            const char* value = item->Attribute("value");
            if (key != nullptr && key[0] != '\0') {
                values[key] = value != nullptr ? value : "";
            }
        }
    }
    return true;
}

}  // namespace

bool SSetting::Load(const std::string& path, int /*flags*/) {
    Sections sections;
    std::string text;
    bool ok = true;
    bool writeDefault = false;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (path.empty() || (error && status.type() != fs::file_type::not_found)) {
        ok = false;  // cannot even tell whether the file is there: touch nothing
    } else if (status.type() == fs::file_type::not_found) {
        sections[kDefaultSection];
        writeDefault = true;
    } else if (std::string why; !services::AtomicFile::read(path, text, kMaxSettingsSize, &why)) {
        _Log(LOG_WARNING, "SSetting::Load", __LINE__,
             "cannot read settings file %s (%s); defaults are used, the file is left as it is",
             path.c_str(), why.c_str());
        ok = false;
    } else if (!parseSettings(text, sections)) {
        _Log(LOG_WARNING, "SSetting::Load", __LINE__, "cannot read settings file %s; left as it is",
             path.c_str());
        sections.clear();
        ok = false;
    }
    if (!ok && path.empty()) {
        return false;
    }
    {
        std::unique_lock lock(m_mutex);
        m_path = path;
        m_loadFailed = !ok;
        for (auto& [name, existing] : m_children) {
            existing->replaceValues({});
        }
        m_present.clear();
        for (auto& [name, values] : sections) {
            child(name)->replaceValues(std::move(values));
            m_present.insert(name);
        }
    }
    if (writeDefault && !Save()) {
        _Log(LOG_WARNING, "SSetting::Load", __LINE__, "cannot write default settings file %s",
             path.c_str());
    }
    return ok;
}

SettingChild* SSetting::GetSettingChild(const std::string& section) {
    std::shared_lock lock(m_mutex);
    if (m_present.count(section) == 0) {
        return nullptr;
    }
    return m_children.at(section).get();
}

SettingChild* SSetting::AddSettingChild(const std::string& section) {
    if (section.empty()) {
        return nullptr;
    }
    std::unique_lock lock(m_mutex);
    m_present.insert(section);
    return child(section);
}

bool SSetting::Save() {
    std::lock_guard saving(m_saveMutex);
    std::string path;
    std::string text;
    bool keepBadFile = false;
    {
        std::shared_lock lock(m_mutex);
        if (m_path.empty()) {
            return false;
        }
        path = m_path;
        text = serialise();
        keepBadFile = m_loadFailed;
    }
    std::error_code error;
    const fs::file_type type = fs::status(path, error).type();
    if (type != fs::file_type::not_found && type != fs::file_type::regular &&
        type != fs::file_type::none) {
        // A folder, pipe or device where the file should be: not ours to replace or copy
        // (copying a pipe would wait for a writer); the settings stay in memory.
        _Log(LOG_WARNING, "SSetting::Save", __LINE__,
             "%s is not a regular file; settings are not stored", path.c_str());
        return false;
    }
    if (keepBadFile && type == fs::file_type::regular) {
        fs::copy_file(path, path + ".bad", fs::copy_options::overwrite_existing, error);
        if (error) {
            _Log(LOG_WARNING, "SSetting::Save", __LINE__, "cannot keep bad settings file %s",
                 path.c_str());
            return false;
        }
    }
    if (!services::AtomicFile::write(path, text)) {
        _Log(LOG_WARNING, "SSetting::Save", __LINE__, "cannot write settings file %s",
             path.c_str());
        return false;
    }
    std::unique_lock lock(m_mutex);
    if (m_path == path) {
        m_loadFailed = false;
    }
    return true;
}

void SSetting::ExitSetting() {
    std::unique_lock lock(m_mutex);
    for (auto& [name, existing] : m_children) {
        existing->replaceValues({});
    }
    m_present.clear();
    m_path.clear();
    m_loadFailed = false;
}

std::string SSetting::GetPath() const {
    std::shared_lock lock(m_mutex);
    return m_path;
}

SettingChild* SSetting::child(const std::string& section) {
    auto& slot = m_children[section];
    if (!slot) {
        slot = std::make_unique<SettingChild>(section, m_mutex);
    }
    return slot.get();
}

std::string SSetting::serialise() const {
    tinyxml2::XMLDocument document;
    document.InsertEndChild(document.NewDeclaration());
    tinyxml2::XMLElement* root = document.NewElement("Setting");
    document.InsertEndChild(root);
    for (const std::string& name : m_present) {
        tinyxml2::XMLElement* section = document.NewElement("Section");
        section->SetAttribute("name", name.c_str());
        for (const auto& [key, value] : m_children.at(name)->values()) {
            tinyxml2::XMLElement* item = document.NewElement("Item");
            item->SetAttribute("key", key.c_str());
            item->SetAttribute("value", value.c_str());
            section->InsertEndChild(item);
        }
        root->InsertEndChild(section);
    }
    tinyxml2::XMLPrinter printer;
    document.Print(&printer);
    return std::string(printer.CStr());
}

SSetting* AfxGetSetting() {
    // Never destroyed: worker threads may still read settings while the process ends.
    static SSetting* setting = new SSetting();
    return setting;
}

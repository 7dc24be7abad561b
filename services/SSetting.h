#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <shared_mutex>
#include <string>

#include "services/SettingChild.h"

// The settings file ("setting.xml" in the user folder): named sections of key/value texts.
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <Setting>
//     <Section name="Update">
//       <Item key="LastVersion" value="1.2.0"/>
//       <Item key="ReCheck" value="1"/>
//     </Section>
//   </Setting>
//
// One process-wide object (AfxGetSetting). Safe to use from any thread.
class SSetting {
public:
    SSetting() = default;
    SSetting(const SSetting&) = delete;
    SSetting& operator=(const SSetting&) = delete;

    // Reads the file at path, which later Save calls write. flags is reserved (pass 0).
    // - Missing file: the settings start empty but for an empty section "Update", and that
    //   default is written to path at once (first start). Returns true.
    // - Readable file: its sections and values replace what was loaded before. Returns true.
    // - Unreadable or malformed file: the settings are empty and the file is left exactly as it
    //   is. Returns false. A later Save keeps a copy of the bad file as "<path>.bad" before
    //   replacing it.
    bool Load(const std::string& path, int flags);

    // The section, or null when the loaded settings have no such section.
    SettingChild* GetSettingChild(const std::string& section);
    // The section, created empty when missing.
    SettingChild* AddSettingChild(const std::string& section);

    // Writes every section to the path given to Load, atomically (a temporary file renamed over
    // the old one). False when nothing was loaded or the file cannot be written.
    bool Save();

    // Forgets the loaded settings without saving them. Section objects handed out stay valid
    // (and read as empty).
    void ExitSetting();

    // The path given to the last Load; empty after ExitSetting.
    std::string GetPath() const;

private:
    SettingChild* child(const std::string& section);
    std::string serialise() const;

    mutable std::shared_mutex m_mutex;
    std::mutex m_saveMutex;  // keeps two Saves from overtaking each other
    std::string m_path;
    bool m_loadFailed = false;
    std::map<std::string, std::unique_ptr<SettingChild>> m_children;
    std::set<std::string> m_present;
};

// The process-wide settings object.
SSetting* AfxGetSetting();

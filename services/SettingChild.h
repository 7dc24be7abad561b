#pragma once

#include <map>
#include <shared_mutex>
#include <string>

// One section of the settings file: key/value texts. Obtained from
// SSetting::GetSettingChild; the object stays valid for the whole run, also across later
// Load and ExitSetting calls (a section that is then no longer present reads as empty).
// Safe to use from any thread.
class SettingChild {
public:
    SettingChild(std::string name, std::shared_mutex& mutex);
    SettingChild(const SettingChild&) = delete;
    SettingChild& operator=(const SettingChild&) = delete;

    const std::string& GetName() const { return m_name; }

    // The value of key; empty when the key is absent.
    std::string GetValue(const std::string& key) const;
    // True when the key is present (its value may be empty).
    bool HasValue(const std::string& key) const;

    // Sets the value of key in memory; SSetting::Save writes it to the file. Returns false for
    // an empty key.
    bool Update(const std::string& key, const std::string& value);

private:
    friend class SSetting;
    // The following are called by SSetting with its lock held.
    void replaceValues(std::map<std::string, std::string> values);
    const std::map<std::string, std::string>& values() const { return m_values; }

    const std::string m_name;
    std::shared_mutex& m_mutex;
    std::map<std::string, std::string> m_values;
};

#include "services/SettingChild.h"

#include <mutex>
#include <utility>

SettingChild::SettingChild(std::string name, std::shared_mutex& mutex)
    : m_name(std::move(name)), m_mutex(mutex) {}

std::string SettingChild::GetValue(const std::string& key) const {
    std::shared_lock lock(m_mutex);
    const auto found = m_values.find(key);
    return found != m_values.end() ? found->second : std::string();
}

bool SettingChild::HasValue(const std::string& key) const {
    std::shared_lock lock(m_mutex);
    return m_values.count(key) != 0;
}

bool SettingChild::Update(const std::string& key, const std::string& value) {
    if (key.empty()) {
        return false;
    }
    std::unique_lock lock(m_mutex);
    m_values[key] = value;
    return true;
}

void SettingChild::replaceValues(std::map<std::string, std::string> values) {
    m_values = std::move(values);
}

#include "ui/SItem.h"

void SItem::SetValue(const std::string& key, const std::string& value) {
    m_values[key] = value;
}

std::string SItem::GetValue(const std::string& key) const {
    const auto found = m_values.find(key);
    return found != m_values.end() ? found->second : std::string();
}

bool SItem::HasValue(const std::string& key) const {
    return m_values.count(key) != 0;
}

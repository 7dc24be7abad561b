#pragma once

#include <map>
#include <string>

// One record of an item list: value texts under key texts ("BluetoothName" -> "Auralis+ (L)").
// A plain value type; copies are independent.
class SItem {
public:
    // Sets or replaces the value under `key`.
    void SetValue(const std::string& key, const std::string& value);
    // The value under `key`, empty when the key is absent.
    std::string GetValue(const std::string& key) const;
    bool HasValue(const std::string& key) const;

    bool operator==(const SItem& other) const = default;

private:
    std::map<std::string, std::string> m_values;
};

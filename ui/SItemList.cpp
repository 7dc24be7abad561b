#include "ui/SItemList.h"

#include <cassert>

void SItemList::Clear() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_items.clear();
}

void SItemList::Add(const SItem& item) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_items.push_back(item);
}

void SItemList::Assign(std::vector<SItem> items) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_items = std::move(items);
}

std::size_t SItemList::Count() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_items.size();
}

std::vector<SItem> SItemList::Snapshot() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_items;
}

std::optional<SItem> SItemList::Find(const std::string& key, const std::string& value) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    for (const SItem& item : m_items) {
        if (item.GetValue(key) == value) {
            return item;
        }
    }
    return std::nullopt;
}

void SItemList::ClearLocked(const std::unique_lock<std::mutex>& guard) {
    assert(guard.owns_lock() && guard.mutex() == &m_mutex);
    (void)guard;
    m_items.clear();
}

void SItemList::AddLocked(const std::unique_lock<std::mutex>& guard, const SItem& item) {
    assert(guard.owns_lock() && guard.mutex() == &m_mutex);
    (void)guard;
    m_items.push_back(item);
}

#pragma once

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ui/SItem.h"

// SItem records in insertion order under a lock of their own. A worker thread empties and
// fills the list while the UI thread reads it, so every reader takes a copy (Snapshot) or holds
// the lock (Lock) for a refill that must look atomic to readers.
class SItemList {
public:
    SItemList() = default;
    SItemList(const SItemList&) = delete;
    SItemList& operator=(const SItemList&) = delete;

    // Holds the list's lock; the calls below must not be made by its holder, except through
    // the guard's own overloads (ClearLocked, AddLocked).
    std::unique_lock<std::mutex> Lock() const { return std::unique_lock<std::mutex>(m_mutex); }

    void Clear();
    void Add(const SItem& item);
    // Replaces the content in one step: no reader sees the list half filled.
    void Assign(std::vector<SItem> items);
    std::size_t Count() const;
    // A copy of the items in insertion order.
    std::vector<SItem> Snapshot() const;
    // The first item whose value under `key` equals `value`.
    std::optional<SItem> Find(const std::string& key, const std::string& value) const;

    // For the holder of Lock().
    void ClearLocked(const std::unique_lock<std::mutex>& guard);
    void AddLocked(const std::unique_lock<std::mutex>& guard, const SItem& item);

private:
    mutable std::mutex m_mutex;
    std::vector<SItem> m_items;
};

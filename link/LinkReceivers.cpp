#include "link/LinkReceivers.h"

#include <algorithm>

void LinkReceivers::add(IBluetoothHandleDelegate* receiver) {
    if (receiver == nullptr) {
        return;
    }
    std::lock_guard lock(m_mutex);
    if (std::any_of(m_list->begin(), m_list->end(), [&](const std::shared_ptr<Entry>& entry) {
            return entry->receiver == receiver;
        })) {
        return;
    }
    auto list = std::make_shared<List>(*m_list);
    list->push_back(std::make_shared<Entry>(receiver));
    m_list = std::move(list);
}

void LinkReceivers::remove(IBluetoothHandleDelegate* receiver) {
    std::shared_ptr<Entry> removed;
    {
        std::lock_guard lock(m_mutex);
        auto list = std::make_shared<List>(*m_list);
        const auto found = std::find_if(
            list->begin(), list->end(),
            [&](const std::shared_ptr<Entry>& entry) { return entry->receiver == receiver; });
        if (found == list->end()) {
            return;
        }
        removed = *found;
        list->erase(found);
        m_list = std::move(list);
    }
    // Events raised from now on do not see it; those that took it earlier either find its gate
    // closed or are waited for here.
    removed->gate.closeAndWait();
}

bool LinkReceivers::contains(const IBluetoothHandleDelegate* receiver) const {
    const std::shared_ptr<const List> list = snapshot();
    return std::any_of(list->begin(), list->end(), [&](const std::shared_ptr<Entry>& entry) {
        return entry->receiver == receiver;
    });
}

std::shared_ptr<const LinkReceivers::List> LinkReceivers::snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_list;
}

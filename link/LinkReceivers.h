#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "link/IBluetoothHandleDelegate.h"
#include "platform/InFlightGate.h"

// The receivers of a link's events, in the order they subscribed, each behind a gate of its own
// so that unsubscribing waits until the calls to that receiver in flight have returned.
//
// Threads: any thread may add, remove and notify. An event reaches the receivers subscribed when
// it is raised, one after the other on the raising thread; a receiver removed meanwhile (also
// from inside another receiver's call) gets no call that begins after its removal.
class LinkReceivers {
public:
    LinkReceivers() = default;
    LinkReceivers(const LinkReceivers&) = delete;
    LinkReceivers& operator=(const LinkReceivers&) = delete;

    // Appends receiver; a receiver already subscribed is not added twice.
    void add(IBluetoothHandleDelegate* receiver);
    // Unsubscribes receiver and returns once no call to it is in flight any more, apart from
    // calls the calling thread is itself inside of (a receiver may remove itself from inside its
    // own event). Then it may go. Nothing when it is not subscribed.
    void remove(IBluetoothHandleDelegate* receiver);
    bool contains(const IBluetoothHandleDelegate* receiver) const;

    // From now on no event reaches any receiver (the link is shutting down).
    void close() { m_closed.store(true); }

    // Hands the event to every receiver: event(receiver) for each, in subscription order.
    template <typename Event>
    void notify(Event&& event) const {
        if (m_closed.load()) {
            return;
        }
        const std::shared_ptr<const List> list = snapshot();
        for (const std::shared_ptr<Entry>& entry : *list) {
            const platform::InFlightGate::Pass pass = entry->gate.enter();
            if (pass && !m_closed.load()) {
                event(*entry->receiver);
            }
        }
    }

private:
    struct Entry {
        explicit Entry(IBluetoothHandleDelegate* target) : receiver(target) {}
        IBluetoothHandleDelegate* const receiver;
        platform::InFlightGate gate;
    };
    using List = std::vector<std::shared_ptr<Entry>>;

    std::shared_ptr<const List> snapshot() const;

    mutable std::mutex m_mutex;
    // Replaced, never changed in place: an event walks the list it took without a lock.
    std::shared_ptr<const List> m_list = std::make_shared<const List>();
    std::atomic<bool> m_closed{false};
};

// The link's receivers: every subscribed receiver gets each event, in the order they subscribed,
// and unsubscribing waits for the calls in flight to that receiver, also from inside its own call.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/Event.h"
#include "tests/link/LinkTestSupport.h"

using link_test::Bytes;
using link_test::LinkUnderTest;
using platform::Event;

namespace {

const Bytes kStatus{1, 2, 3, 1, 1, 3, 4};

// Writes its name into a shared list at every status event.
class NamedReceiver : public IBluetoothHandleDelegate {
public:
    NamedReceiver(std::string name, std::vector<std::string>& calls)
        : m_name(std::move(name)), m_calls(calls) {}
    void OnDeviceStatusChange(DeviceStatus) override { m_calls.push_back(m_name); }

private:
    std::string m_name;
    std::vector<std::string>& m_calls;
};

// A receiver whose status event stays inside until the test lets it go.
class BlockingReceiver : public IBluetoothHandleDelegate {
public:
    void OnDeviceStatusChange(DeviceStatus) override {
        entered.signal();
        release.wait(std::chrono::seconds(30));
        left.store(true);
    }

    Event entered{Event::Reset::Manual};
    Event release{Event::Reset::Manual};
    std::atomic<bool> left{false};
};

// A receiver that unsubscribes a receiver (itself or another) from inside its own event.
class RemovingReceiver : public IBluetoothHandleDelegate {
public:
    RemovingReceiver(BluetoothHandle& handle, IBluetoothHandleDelegate* removed)
        : m_handle(handle), m_removed(removed != nullptr ? removed : this) {}
    void OnDeviceStatusChange(DeviceStatus) override {
        m_handle.removeReceiver(m_removed);
        calls.fetch_add(1);
    }

    std::atomic<int> calls{0};

private:
    BluetoothHandle& m_handle;
    IBluetoothHandleDelegate* m_removed;
};

}  // namespace

TEST(LinkReceiversTest, EveryReceiverGetsEachEventInTheOrderTheySubscribed) {
    LinkUnderTest link;
    std::vector<std::string> calls;
    NamedReceiver first("first", calls);
    NamedReceiver second("second", calls);
    link.receiveWith(first);
    link.handle.addReceiver(&second);
    link.handle.addReceiver(&first);  // already there: not twice
    link.receiveFrame(0x60, kStatus);
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "second"}));

    link.handle.removeReceiver(&first);
    link.receiveFrame(0x60, kStatus);
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "second", "second"}));
    EXPECT_FALSE(link.handle.hasReceiver(&first));
    EXPECT_TRUE(link.handle.hasReceiver(&second));
}

// The receiver may be destroyed as soon as the removal returns, so the removal must not return
// while one of its events is still running on a link thread; the other receivers go on.
TEST(LinkReceiversTest, RemovalReturnsOnlyAfterTheEventInFlightHasReturned) {
    LinkUnderTest link;
    BlockingReceiver blocking;
    link.receiveWith(blocking);
    link.handle.addReceiver(&link.delegate);
    std::thread listener([&] { link.receiveFrame(0x60, kStatus); });
    ASSERT_TRUE(blocking.entered.wait(std::chrono::seconds(10)));

    Event removed{Event::Reset::Manual};
    bool eventHadReturned = false;
    std::thread remover([&] {
        link.handle.removeReceiver(&blocking);
        eventHadReturned = blocking.left.load();
        removed.signal();
    });
    // A removal that does not wait gets this long to return while the event is still inside.
    EXPECT_FALSE(removed.wait(std::chrono::milliseconds(300)));
    blocking.release.signal();
    remover.join();
    listener.join();
    EXPECT_TRUE(eventHadReturned);
    // The same event still reached the receiver after the blocking one.
    EXPECT_EQ(link.delegate.statuses.size(), 1u);
}

TEST(LinkReceiversTest, AReceiverCanRemoveItselfFromInsideItsEvent) {
    LinkUnderTest link;
    RemovingReceiver self(link.handle, nullptr);
    link.receiveWith(self);
    link.handle.addReceiver(&link.delegate);
    link.receiveFrame(0x60, kStatus);
    link.receiveFrame(0x60, kStatus);
    EXPECT_EQ(self.calls.load(), 1);
    EXPECT_FALSE(link.handle.hasReceiver(&self));
    EXPECT_EQ(link.delegate.statuses.size(), 2u);
}

// A receiver removed while an event is under way gets no call that begins after its removal,
// even when the removal happens on the very thread that raises the event.
TEST(LinkReceiversTest, AReceiverRemovedByAnEarlierOneMissesTheRestOfTheEvent) {
    LinkUnderTest link;
    RemovingReceiver remover(link.handle, &link.delegate);
    link.receiveWith(remover);
    link.handle.addReceiver(&link.delegate);
    link.receiveFrame(0x60, kStatus);
    EXPECT_EQ(remover.calls.load(), 1);
    EXPECT_TRUE(link.delegate.statuses.empty());
}

TEST(LinkReceiversTest, NoEventReachesAReceiverOnceTheLinkIsShutDown) {
    LinkUnderTest link;
    link.handle.shutdown();
    link.receiveFrame(0x60, kStatus);
    EXPECT_TRUE(link.delegate.statuses.empty());
}

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/Event.h"
#include "tests/link/LinkTestSupport.h"

using link_test::Bytes;
using link_test::LinkUnderTest;
using platform::Event;

namespace {

const Bytes kStatus{1, 2, 3, 1, 1, 3, 4};

// A receiver whose status event stays inside until the test lets it go.
class BlockingDelegate : public IBluetoothHandleDelegate {
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

// A receiver that detaches itself from inside its own event.
class SelfDetachingDelegate : public IBluetoothHandleDelegate {
public:
    explicit SelfDetachingDelegate(BluetoothHandle& handle) : m_handle(handle) {}
    void OnDeviceStatusChange(DeviceStatus) override {
        m_handle.setDelegate(nullptr);
        calls.fetch_add(1);
    }

    std::atomic<int> calls{0};

private:
    BluetoothHandle& m_handle;
};

}  // namespace

// The receiver may be destroyed as soon as the detach returns, so the detach must not return
// while one of its events is still running on a link thread.
TEST(DelegateDetachTest, DetachReturnsOnlyAfterTheEventInFlightHasReturned) {
    LinkUnderTest link;
    BlockingDelegate blocking;
    link.handle.setDelegate(&blocking);
    std::thread listener([&] { link.receiveFrame(0x60, kStatus); });
    ASSERT_TRUE(blocking.entered.wait(std::chrono::seconds(10)));

    Event detached{Event::Reset::Manual};
    bool eventHadReturned = false;
    std::thread detacher([&] {
        link.handle.setDelegate(nullptr);
        eventHadReturned = blocking.left.load();
        detached.signal();
    });
    // A detach that does not wait gets this long to return while the event is still inside.
    detached.wait(std::chrono::milliseconds(300));
    blocking.release.signal();
    detacher.join();
    listener.join();
    EXPECT_TRUE(eventHadReturned);
}

TEST(DelegateDetachTest, ReceiverCanDetachItselfFromInsideItsEvent) {
    LinkUnderTest link;
    SelfDetachingDelegate self(link.handle);
    link.handle.setDelegate(&self);
    link.receiveFrame(0x60, kStatus);
    link.receiveFrame(0x60, kStatus);
    EXPECT_EQ(self.calls.load(), 1);
    EXPECT_EQ(link.handle.delegate(), nullptr);
}

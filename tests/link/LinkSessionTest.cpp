#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "link/FrameCodec.h"
#include "link/FrameDecoder.h"
#include "tests/common/Eventually.h"
#include "tests/link/FakeBackend.h"
#include "tests/link/LinkTestSupport.h"

using link_test::Bytes;
using link_test::EventRecorder;
using link_test::FakeBackend;
using link_test::LogCapture;
using platform::bluetooth::DiscoveredDevice;
using platform::bluetooth::ScanResult;
using namespace std::chrono_literals;

namespace {

LinkTimings quickTimings() {
    LinkTimings timings;
    timings.supportCheckPause = 5ms;
    timings.discoveryPause = 5ms;
    timings.lookupFailurePause = 5ms;
    timings.aliveWait = 60ms;
    timings.alivePauseStep = 5ms;
    timings.alivePauseSteps = 2;
    timings.receiveWatchdog = 150ms;
    timings.fotaOpenPause = 0ms;
    return timings;
}

// A link over a scripted backend; the recorder is declared first so that it outlives the
// link's threads.
struct Session {
    Session() : backend(std::make_shared<FakeBackend>()), handle(backend) {
        handle.setTimings(quickTimings());
        handle.addReceiver(&events);
    }
    ~Session() { EXPECT_TRUE(handle.shutdown()); }

    bool waitForThreads(int count) {
        return testing_support::eventually([&] { return handle.runningThreads() <= count; });
    }

    EventRecorder events;
    std::shared_ptr<FakeBackend> backend;
    BluetoothHandle handle;
};

// The earbuds' end of a link: answers every serial-number request (the alive check's probe)
// until told to fall silent.
class Earbuds {
public:
    Earbuds(std::shared_ptr<platform::bluetooth::FdConnection> end, devlink::Generation generation)
        : m_end(std::move(end)), m_decoder(generation), m_generation(generation) {
        m_reader = std::thread([this] { run(); });
    }
    ~Earbuds() {
        m_end->close();
        m_reader.join();
    }

    void fallSilent() { m_answering.store(false); }

    // Waits (at most five seconds) until this many probes were answered.
    bool waitForProbes(int count) {
        return testing_support::eventually([&] { return m_answered.load() >= count; },
                                           std::chrono::seconds(5));
    }

private:
    void run() {
        uint8_t buffer[1024];
        for (std::ptrdiff_t count; (count = m_end->receive(buffer, sizeof(buffer))) > 0;) {
            for (const devlink::DecodedFrame& frame :
                 m_decoder.feed({buffer, static_cast<std::size_t>(count)})) {
                if (frame.messageId == 0x29 && m_answering.load()) {
                    const Bytes answer =
                        devlink::buildFrame(m_generation, 0x29, Bytes(22, '7'), true);
                    m_end->send(answer.data(), answer.size());
                    ++m_answered;
                }
            }
        }
    }

    std::shared_ptr<platform::bluetooth::FdConnection> m_end;
    devlink::FrameDecoder m_decoder;
    devlink::Generation m_generation;
    std::atomic<bool> m_answering{true};
    std::atomic<int> m_answered{0};
    std::thread m_reader;
};

ScanResult found(std::vector<DiscoveredDevice> devices) {
    return {.code = platform::bluetooth::kOk, .devices = std::move(devices)};
}

}  // namespace

TEST(LinkSessionTest, SupportCheckTriesThreeTimesThenGivesUp) {
    LogCapture log;
    {
        Session session;
        session.backend->queueRadio({ENODEV, ENODEV, ENODEV, platform::bluetooth::kOk});
        session.handle.CheckSupportBluetooth();
        ASSERT_TRUE(session.events.waitFor("OnCheckBluetoothResponse"));
        EXPECT_EQ(session.events.events(),
                  (std::vector<std::string>{"OnCheckBluetoothResponse(0)"}));
        EXPECT_EQ(session.backend->radioChecks(), 3);
        EXPECT_TRUE(
            log.contains("BluetoothFindFirstDevice: success[0] trycount[2] errorcode[19]: "
                         "No such device"));
    }
    Session session;
    session.backend->queueRadio({ENODEV, platform::bluetooth::kOk});
    session.handle.CheckSupportBluetooth();
    ASSERT_TRUE(session.events.waitFor("OnCheckBluetoothResponse(1)"));
    EXPECT_EQ(session.backend->radioChecks(), 2);
    EXPECT_TRUE(log.contains("=====ThreadCheckSupportBluetooth end====="));

    // Without any Bluetooth access the answer is the same "not supported", never a hang.
    EventRecorder events;
    BluetoothHandle bare;
    bare.setTimings(quickTimings());
    bare.addReceiver(&events);
    bare.CheckSupportBluetooth();
    ASSERT_TRUE(events.waitFor("OnCheckBluetoothResponse(0)"));
    EXPECT_TRUE(bare.shutdown());
}

TEST(LinkSessionTest, DiscoveryFiltersNamesAndMergesCyclesKeepingRecords) {
    LogCapture log;
    Session session;
    const DiscoveredDevice a{"Auralis+ (4F2A)", 0xA};
    const DiscoveredDevice b{"Auralis (77A0)", 0xB};
    const DiscoveredDevice kitchen{"Kitchen Auralis (7B2C)", 0xC};
    const DiscoveredDevice lower{"auralis (7B2C)", 0xD};
    const DiscoveredDevice speaker{"Speaker", 0xE};
    session.backend->queueScans({
        found({a, speaker, b, lower, kitchen, {"Auralis+ (dup)", 0xA}}),
        found({a, kitchen}),                           // b left
        found({speaker}),                              // nothing of ours: no event
        ScanResult{.code = EHOSTDOWN, .devices = {}},  // the scan cannot begin: no event
        found({a, b, kitchen}),                        // b is back
    });
    session.handle.StartFindDevice();
    ASSERT_TRUE(session.events.waitFor("OnDeviceFindChange", 3));
    session.handle.StopFindDevice();
    ASSERT_TRUE(session.waitForThreads(0));

    const auto maps = session.events.foundMaps();
    ASSERT_EQ(maps.size(), 3u);
    ASSERT_EQ(maps[0].size(), 3u);
    EXPECT_EQ(maps[0].at(0xA)->name, "Auralis+ (4F2A)");  // the first result for an address
    EXPECT_EQ(maps[0].count(0xD), 0u);
    EXPECT_EQ(maps[0].at(0xC)->name, "Kitchen Auralis (7B2C)");
    EXPECT_EQ(maps[1].size(), 2u);
    EXPECT_EQ(maps[1].at(0xA), maps[0].at(0xA));  // the same record from cycle to cycle
    EXPECT_EQ(maps[2].size(), 3u);
    EXPECT_EQ(maps[2].at(0xA), maps[0].at(0xA));
    // A device that left and came back is a new record; the old one is still valid.
    EXPECT_NE(maps[2].at(0xB), maps[0].at(0xB));
    EXPECT_EQ(maps[0].at(0xB)->name, "Auralis (77A0)");
    EXPECT_EQ(maps[0].at(0xB)->connected(), 0);
    EXPECT_EQ(session.handle.foundDevices(), maps[2]);
    EXPECT_TRUE(log.contains("No device found"));
    EXPECT_TRUE(log.contains("WSALookupServiceBegin Error:[112][Host is down ]"));
    EXPECT_TRUE(log.contains("Find out a Device[Kitchen Auralis (7B2C)]"));
    EXPECT_TRUE(log.contains("bluetoothDevices count = 2"));
    EXPECT_TRUE(log.contains("=====ThreadFindDevice stop====="));
}

TEST(LinkSessionTest, OneDiscoveryThreadAtATimeAndAStopDuringThePauseEndsQuietly) {
    LogCapture log;
    Session session;
    LinkTimings timings = quickTimings();
    timings.discoveryPause = 300ms;
    session.handle.setTimings(timings);
    const DiscoveredDevice a{"Auralis2 (0C11)", 0xA};
    session.backend->queueScans({found({a}), found({a}), found({a})});

    session.handle.StartFindDevice();
    session.handle.StartFindDevice();
    ASSERT_TRUE(session.events.waitFor("OnDeviceFindChange", 1));
    EXPECT_EQ(session.handle.runningThreads(), 1);
    EXPECT_TRUE(log.contains("discovery thread still running; it goes on finding"));

    // Stopped during the pause: one more scan, whose results are not taken, then the end.
    std::this_thread::sleep_for(50ms);
    session.handle.StopFindDevice();
    ASSERT_TRUE(session.waitForThreads(0));
    EXPECT_EQ(session.backend->scans(), 2);
    EXPECT_EQ(session.events.count("OnDeviceFindChange"), 1);

    // A fresh start after the thread ended starts a new one, which reports the same record.
    session.handle.StartFindDevice();
    ASSERT_TRUE(session.events.waitFor("OnDeviceFindChange", 2));
    session.handle.StopFindDevice();
    const auto maps = session.events.foundMaps();
    EXPECT_EQ(maps[1].at(0xA), maps[0].at(0xA));
}

TEST(LinkSessionTest, FailedConnectsAreReported) {
    LogCapture log;
    Session session;
    session.backend->setConnectCode(ECONNREFUSED);
    BluetoothDevice device("Auralis2 (0C11)", 7);
    session.handle.ConnectToDevice(&device);
    ASSERT_TRUE(session.events.waitFor("OnDeviceConnected(0)"));
    EXPECT_EQ(device.connected(), 0);
    EXPECT_EQ(device.modelCode(), "VX-R175");
    EXPECT_TRUE(log.contains("Connect Ret = 111"));
    session.handle.ConnectToDevice(nullptr);

    // Without Bluetooth access: the start-up failure is reported at once, then the attempt's own.
    EventRecorder events;
    BluetoothHandle bare;
    bare.addReceiver(&events);
    bare.ConnectToDevice(&device);
    ASSERT_TRUE(events.waitFor("OnDeviceConnected", 2));
    EXPECT_EQ(events.events(),
              (std::vector<std::string>{"OnDeviceConnected(0)", "OnDeviceConnected(0)"}));
    EXPECT_TRUE(log.contains("WSAStartup Error:[38]"));
    EXPECT_TRUE(bare.shutdown());
}

TEST(LinkSessionTest, AliveCheckEndsWhenProbesCannotBeSentAndPausesForATransfer) {
    LogCapture log;
    {
        Session session;
        BluetoothDevice device("Auralis+ (4F2A)", 1);
        session.handle.ConnectToDevice(&device);
        ASSERT_TRUE(session.events.waitFor("OnDeviceConnected(1)"));
        session.backend->lastPeer()->close();  // the earbuds vanish
        ASSERT_TRUE(session.events.waitFor("OnDeviceDisconnected(0)"));
        // The listener sees the stream end first, so the check ends the link without a probe.
        EXPECT_TRUE(log.contains("ThreadCheckDeviceAlive -> Can not send message") ||
                    log.contains("ThreadCheckDeviceAlive -> the link was closed"));
    }
    // A firmware session stops the alive check; only the receive watchdog watches the link.
    Session session;
    BluetoothDevice device("Auralis+ (4F2A)", 1);
    session.handle.ConnectToDevice(&device);
    ASSERT_TRUE(session.events.waitFor("OnDeviceConnected(1)"));
    Earbuds earbuds(session.backend->lastPeer(), devlink::Generation::Second);
    ASSERT_TRUE(session.handle.OpenFotaSession());
    EXPECT_FALSE(session.handle.flags().aliveCheckRunning.load());
    earbuds.fallSilent();
    ASSERT_TRUE(session.events.waitFor("OnDeviceDisconnected"));
    EXPECT_EQ(session.events.matching("OnDeviceDisconnected"),
              (std::vector<std::string>{"OnDeviceDisconnected(1)"}));
}

TEST(LinkSessionTest, ShutdownEndsEveryThreadAndSilencesEvents) {
    Session session;
    LinkTimings slow = quickTimings();
    slow.discoveryPause = 60s;
    slow.aliveWait = 60s;
    slow.receiveWatchdog = 60s;
    session.handle.setTimings(slow);
    session.backend->queueScans({found({{"Auralis2 (1)", 1}})});
    BluetoothDevice device("Auralis+ (4F2A)", 1);
    session.handle.ConnectToDevice(&device);
    ASSERT_TRUE(session.events.waitFor("OnDeviceConnected(1)"));
    session.handle.StartFindDevice();
    ASSERT_TRUE(session.events.waitFor("OnDeviceFindChange"));
    ASSERT_TRUE(session.handle.OpenFotaSession());
    EXPECT_GE(session.handle.runningThreads(), 3);
    const auto before = session.events.events().size();
    EXPECT_TRUE(session.handle.shutdown(10s));
    EXPECT_EQ(session.handle.runningThreads(), 0);
    EXPECT_EQ(session.events.events().size(), before);
    // Nothing starts afterwards.
    session.handle.CheckSupportBluetooth();
    EXPECT_EQ(session.handle.runningThreads(), 0);
}

TEST(LinkSessionTest, StoppingTheAliveCheckEndsItsPauseAtOnce) {
    Session session;
    LinkTimings timings = quickTimings();
    timings.alivePauseStep = 60s;  // a pause no test could wait out
    timings.alivePauseSteps = 1;
    timings.receiveWatchdog = 60s;  // the firmware session's watchdog stays for the count
    session.handle.setTimings(timings);
    BluetoothDevice device("Auralis+ (4F2A)", 1);
    session.handle.ConnectToDevice(&device);
    ASSERT_TRUE(session.events.waitFor("OnDeviceConnected(1)"));
    Earbuds earbuds(session.backend->lastPeer(), devlink::Generation::Second);
    ASSERT_TRUE(earbuds.waitForProbes(1));
    const int running = session.handle.runningThreads();
    // The firmware session stops the alive check and starts its own watchdog.
    ASSERT_TRUE(session.handle.OpenFotaSession());
    EXPECT_TRUE(session.waitForThreads(running));
}

TEST(LinkSessionTest, ALinkTheEarbudsCloseIsReportedAtOnceByTheWatchdogThatOwnsIt) {
    LogCapture log;
    // Watchdogs far longer than the wait for their events: only the closed stream can wake them.
    LinkTimings slow = quickTimings();
    slow.aliveWait = 60s;
    slow.alivePauseStep = 1s;
    slow.alivePauseSteps = 60;
    slow.receiveWatchdog = 60s;
    {
        // Between transfers the alive check owns the link.
        Session session;
        session.handle.setTimings(slow);
        BluetoothDevice device("Auralis+ (4F2A)", 1);
        session.handle.ConnectToDevice(&device);
        ASSERT_TRUE(session.events.waitFor("OnDeviceConnected(1)"));
        session.backend->lastPeer()->close();
        ASSERT_TRUE(session.events.waitFor("OnDeviceDisconnected"));
        EXPECT_EQ(session.events.matching("OnDeviceDisconnected"),
                  (std::vector<std::string>{"OnDeviceDisconnected(0)"}));
        EXPECT_TRUE(session.handle.linkClosedByPeer());
    }
    // During a transfer the receive watchdog owns it, and raises its own event.
    Session session;
    session.handle.setTimings(slow);
    BluetoothDevice device("Auralis+ (4F2A)", 1);
    session.handle.ConnectToDevice(&device);
    ASSERT_TRUE(session.events.waitFor("OnDeviceConnected(1)"));
    {
        Earbuds earbuds(session.backend->lastPeer(), devlink::Generation::Second);
        ASSERT_TRUE(session.handle.OpenFotaSession());
    }  // the earbuds close their end
    ASSERT_TRUE(session.events.waitFor("OnDeviceDisconnected"));
    EXPECT_EQ(session.events.matching("OnDeviceDisconnected"),
              (std::vector<std::string>{"OnDeviceDisconnected(1)"}));
    EXPECT_TRUE(
        log.contains("ThreadCheckDeviceConnect -> the link was closed during the transfer"));
    EXPECT_TRUE(session.handle.linkClosedByPeer());

    // A link closed from this side is not the earbuds' doing.
    session.handle.ConnectToDevice(&device);
    ASSERT_TRUE(session.events.waitFor("OnDeviceConnected(1)", 2));
    EXPECT_FALSE(session.handle.linkClosedByPeer());
    session.handle.DisConnectToDevice();
    EXPECT_FALSE(session.handle.linkClosedByPeer());
}

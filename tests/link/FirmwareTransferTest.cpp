#include <sys/socket.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "link/FrameCodec.h"
#include "tests/common/Eventually.h"
#include "tests/link/FakeBackend.h"
#include "tests/link/LinkTestSupport.h"

using devlink::DecodedFrame;
using link_test::Bytes;
using link_test::EventRecorder;
using link_test::FakeBackend;
using link_test::LinkUnderTest;
using link_test::LogCapture;
using link_test::TestPackage;

namespace {

constexpr const char* kSecond = "Auralis+ (4F2A)";
constexpr const char* kFirst = "Auralis (77A0)";

Bytes le32(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

Bytes slice(const Bytes& bytes, std::size_t from, std::size_t count) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

// A transfer over a link whose listener is the test itself: frames from the earbuds are handed
// to the link on the test thread, and what the link sends is read back from the socket pair.
struct Transfer {
    Transfer(const std::string& name, const std::vector<std::pair<uint32_t, std::size_t>>& entries)
        : package(entries), backend(std::make_shared<FakeBackend>()), link(name, backend) {
        LinkTimings timings;
        timings.fotaOpenPause = std::chrono::milliseconds(0);
        link.handle.setTimings(timings);
        link.receiveWith(events);
        link.handle.setFotaBin(package.info);
    }

    // Opens the session and returns the open message.
    DecodedFrame open() {
        EXPECT_TRUE(link.handle.OpenFotaSession());
        auto frames = link.sentFrames();
        EXPECT_EQ(frames.size(), 1u);
        return frames.empty() ? DecodedFrame{} : frames[0];
    }

    std::vector<DecodedFrame> answer(uint8_t id, const Bytes& payload, bool response = false) {
        link.receiveFrame(id, payload, response);
        return link.sentFrames();
    }

    TestPackage package;
    EventRecorder events;
    std::shared_ptr<FakeBackend> backend;
    LinkUnderTest link;
};

void expectData(const DecodedFrame& frame, uint8_t id, const Bytes& position, const Bytes& data) {
    EXPECT_EQ(frame.messageId, id);
    EXPECT_TRUE(frame.dataFlag);
    EXPECT_TRUE(frame.checksumOk);
    ASSERT_GE(frame.payload.size(), 4u);
    EXPECT_EQ(slice(frame.payload, 0, 4), position);
    EXPECT_EQ(slice(frame.payload, 4, frame.payload.size() - 4), data);
}

}  // namespace

TEST(FirmwareTransferTest, SecondGenerationAnswersEveryRequestOfTheEarbuds) {
    LogCapture log;
    Transfer transfer(kSecond, {{1, 1300}, {2, 650}});
    const TestPackage& package = transfer.package;

    const DecodedFrame open = transfer.open();
    EXPECT_EQ(open.messageId, 0xBB);
    EXPECT_FALSE(open.response);
    Bytes expected = le32(package.info.fileCrc32);
    expected.push_back(2);
    for (const fota::EntryRecord& entry : package.info.entries) {
        expected.push_back(static_cast<uint8_t>(entry.id));
        const Bytes size = le32(entry.size);
        const Bytes crc = le32(entry.crc);
        expected.insert(expected.end(), size.begin(), size.end());
        expected.insert(expected.end(), crc.begin(), crc.end());
    }
    EXPECT_EQ(open.payload, expected);
    EXPECT_TRUE(log.contains("OpenFotaSession => FotaBin.entry_cnt[2] MSG_ID_FOTA_SESSION"));
    EXPECT_FALSE(transfer.link.handle.flags().aliveCheckRunning.load());

    EXPECT_TRUE(transfer.answer(0xBB, {0x00}).empty());
    EXPECT_TRUE(log.contains("errCode = 0"));

    // An MTU of 1000 is answered with the earbuds' fixed 650, which the fragments then carry.
    auto sent = transfer.answer(0xBC, {0x00, 0xE8, 0x03});
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].response);
    EXPECT_EQ(sent[0].payload, (Bytes{0x00, 0x8A, 0x02}));
    // A second request before the 50 percent report is not answered (it only sets the fragment
    // size to the earbuds' value, here 650 again).
    EXPECT_TRUE(transfer.answer(0xBC, {0x00, 0x8A, 0x02}).empty());

    sent = transfer.answer(0xBC, {0x01, 0x01});
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].payload, (Bytes{0x01, 0x01, 0x00}));
    EXPECT_TRUE(log.contains("parseFOTACtrlResponse: mDownloadEntrySize[1300]"));

    // (0, 2) for the 1300-byte entry: fragments at 0 and 650, the second one its last.
    sent = transfer.answer(0xBD, {0x00, 0x00, 0x00, 0x02});
    ASSERT_EQ(sent.size(), 2u);
    expectData(sent[0], 0xBD, {0x00, 0x00, 0x00, 0x80}, slice(package.entryBytes(0), 0, 650));
    expectData(sent[1], 0xBD, {0x8A, 0x02, 0x00, 0x00}, slice(package.entryBytes(0), 650, 650));
    EXPECT_TRUE(sent[0].response);
    EXPECT_TRUE(log.contains("fragmentOffset[0] requestPacketNum[2]"));

    // (0, 3) for the 650-byte entry: one last fragment, then it stops.
    transfer.answer(0xBC, {0x01, 0x02});
    sent = transfer.answer(0xBD, {0x00, 0x00, 0x00, 0x03});
    ASSERT_EQ(sent.size(), 1u);
    expectData(sent[0], 0xBD, {0x00, 0x00, 0x00, 0x00}, package.entryBytes(1));
    EXPECT_EQ(transfer.events.matching("OnDownloadProgressChange"),
              (std::vector<std::string>{
                  "OnDownloadProgressChange(0,0)", "OnDownloadProgressChange(0,650)",
                  "OnDownloadProgressChange(0,1300)", "OnDownloadProgressChange(0,1300)",
                  "OnDownloadProgressChange(0,1950)"}));

    // At 50 percent the earbuds may ask for the MTU again: answered once more. A repeated
    // request after that only sets the fragment size to the earbuds' value.
    transfer.answer(0xBE, {0x00, 50});
    EXPECT_EQ(transfer.events.matching("OnDownloadProgressChange").back(),
              "OnDownloadProgressChange(50,1950)");
    EXPECT_EQ(transfer.answer(0xBC, {0x00, 0x00, 0x02}).size(), 1u);
    EXPECT_TRUE(transfer.answer(0xBC, {0x00, 0x2C, 0x01}).empty());
    transfer.answer(0xBC, {0x01, 0x01});
    sent = transfer.answer(0xBD, {0x00, 0x00, 0x00, 0x01});
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].payload.size(), 4u + 300u);

    // Success: the finish event, then the fixed acknowledgement FD 04 10 BE 01 cs cs DD.
    transfer.link.receiveFrame(0xBE, {0x01, 0x00, 0x00});
    const Bytes ack = transfer.link.sentBytes();
    ASSERT_EQ(ack.size(), 8u);
    EXPECT_EQ(slice(ack, 0, 5), (Bytes{0xFD, 0x04, 0x10, 0xBE, 0x01}));
    EXPECT_TRUE(devlink::checksumMatches(devlink::Generation::Second, ack.data(), ack.size()));
    EXPECT_EQ(transfer.events.count("OnDownloadFinish(1,0)"), 1);
    EXPECT_EQ(transfer.events.count("OnFotaStateChange(0)"), 1);
    EXPECT_EQ(transfer.events.count("OnFotaError"), 0);
    EXPECT_TRUE(transfer.link.handle.flags().receiveWatchdogStop.load());
    EXPECT_TRUE(log.contains("fota_download_control >> close Download. download complete."));
}

TEST(FirmwareTransferTest, FirstGenerationSendsTheNextFragmentPerAcknowledgement) {
    LogCapture log;
    Transfer transfer(kFirst, {{5, 450}});
    const Bytes entry = transfer.package.entryBytes(0);

    const DecodedFrame open = transfer.open();
    EXPECT_EQ(open.messageId, 0xB0);
    ASSERT_EQ(open.payload.size(), 10u);
    EXPECT_EQ(slice(open.payload, 0, 6), (Bytes{0x01, 0x05, 0xC2, 0x01, 0x00, 0x00}));

    auto sent = transfer.answer(0xB1, {0x00, 200, 0x00});
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].messageId, 0xB1);
    EXPECT_TRUE(sent[0].response);
    EXPECT_EQ(sent[0].payload, (Bytes{0x00, 0x00}));

    sent = transfer.answer(0xB1, {0x01, 0x05});
    ASSERT_EQ(sent.size(), 1u);
    expectData(sent[0], 0xB2, {0x00, 0x00, 0x00, 0x80}, slice(entry, 0, 200));
    EXPECT_FALSE(sent[0].response);
    EXPECT_FALSE(sent[0].longForm);

    sent = transfer.answer(0xB2, {0x00, 0x00, 0x00, 0x00}, true);
    ASSERT_EQ(sent.size(), 1u);
    expectData(sent[0], 0xB2, {0xC8, 0x00, 0x00, 0x80}, slice(entry, 200, 200));
    sent = transfer.answer(0xB2, {0xC8, 0x00, 0x00, 0x00}, true);
    ASSERT_EQ(sent.size(), 1u);
    expectData(sent[0], 0xB2, {0x90, 0x01, 0x00, 0x00}, slice(entry, 400, 50));
    // The last fragment's acknowledgement only moves the progress.
    EXPECT_TRUE(transfer.answer(0xB2, {0x90, 0x01, 0x00, 0x00}, true).empty());
    EXPECT_EQ(transfer.events.matching("OnDownloadProgressChange"),
              (std::vector<std::string>{"OnDownloadProgressChange(0,0)",
                                        "OnDownloadProgressChange(0,200)",
                                        "OnDownloadProgressChange(0,400)"}));

    // Success is acknowledged with 0x51 carrying 0xB3.
    sent = transfer.answer(0xB3, {0x01, 0x00, 0x00});
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].messageId, 0x51);
    EXPECT_EQ(sent[0].payload, (Bytes{0xB3, 0x00}));
    EXPECT_EQ(transfer.events.count("OnDownloadFinish(1,0)"), 1);
}

TEST(FirmwareTransferTest, FirstGenerationFramesLongDataAndRefusesWhatCannotBeSent) {
    LogCapture log;
    Transfer transfer(kFirst, {{0x85, 40}, {5, 1000}});
    transfer.open();

    // An MTU of 0 would send empty fragments forever: not taken, not answered.
    EXPECT_TRUE(transfer.answer(0xB1, {0x00, 0x00, 0x00}).empty());
    EXPECT_TRUE(transfer.answer(0xB1, {0x01, 0x05}).empty());
    EXPECT_TRUE(log.contains("no MTU known yet"));

    // Id byte 0x85 reads as -123 and never finds the entry with id 0x85.
    EXPECT_EQ(transfer.answer(0xB1, {0x00, 0x2C, 0x01}).size(), 1u);
    EXPECT_TRUE(transfer.answer(0xB1, {0x01, 0x85}).empty());
    EXPECT_TRUE(log.contains("entry -123 is not in the package"));

    // 300 data bytes make a body of 307: the long header FE 12 33 01, id at offset 4.
    transfer.link.receiveFrame(0xB1, {0x01, 0x05});
    const Bytes raw = transfer.link.sentBytes();
    ASSERT_EQ(raw.size(), 300u + 7u + 5u);
    EXPECT_EQ(slice(raw, 0, 5), (Bytes{0xFE, 0x12, 0x33, 0x01, 0xB2}));
    EXPECT_TRUE(devlink::checksumMatches(devlink::Generation::First, raw.data(), raw.size()));

    // An acknowledgement whose next fragment would start beyond the entry's end (it does not
    // match the fragment just sent) sends nothing: no data outside the entry, no odd position.
    EXPECT_TRUE(transfer.answer(0xB2, le32(800), true).empty());
    EXPECT_TRUE(log.contains("acknowledged position 800 leaves nothing of the entry"));
    EXPECT_TRUE(transfer.answer(0xB2, le32(300), true).empty());
    EXPECT_EQ(transfer.events.count("OnDownloadFinish"), 0);
}

TEST(FirmwareTransferTest, FirstGenerationContinuesWhereTheFragmentEndedAfterAnMtuChange) {
    Transfer transfer(kFirst, {{5, 1000}});
    const Bytes entry = transfer.package.entryBytes(0);
    transfer.open();
    transfer.answer(0xB1, {0x00, 0x2C, 0x01});
    auto sent = transfer.answer(0xB1, {0x01, 0x05});
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].payload.size(), 4u + 300u);
    // Half way the earbuds announce a smaller MTU while the 300-byte fragment is on its way:
    // the next fragment starts at 300 (not 100) and carries 100 bytes.
    transfer.answer(0xB3, {0x00, 50});
    EXPECT_EQ(transfer.answer(0xB1, {0x00, 100, 0x00}).size(), 1u);
    sent = transfer.answer(0xB2, le32(0), true);
    ASSERT_EQ(sent.size(), 1u);
    expectData(sent[0], 0xB2, {0x2C, 0x01, 0x00, 0x80}, slice(entry, 300, 100));
    sent = transfer.answer(0xB2, le32(300), true);
    ASSERT_EQ(sent.size(), 1u);
    expectData(sent[0], 0xB2, {0x90, 0x01, 0x00, 0x80}, slice(entry, 400, 100));
}

TEST(FirmwareTransferTest, FailureReportsResetAndUnpairUnlessTheReasonIs14) {
    {
        Transfer transfer(kSecond, {{1, 100}});
        transfer.open();
        EXPECT_TRUE(transfer.answer(0xBE, {0x01, 0x00, 14}).empty());
        EXPECT_TRUE(transfer.backend->unpairs().empty());
        EXPECT_EQ(transfer.events.count("OnDownloadFinish(0,14)"), 1);
        EXPECT_EQ(transfer.events.count("OnFotaError(14)"), 1);
    }
    LogCapture log;
    Transfer transfer(kSecond, {{1, 100}});
    transfer.open();
    // State 1 fails whatever the reason: the reset request (always with the first-generation
    // header) goes out and the pairing is removed before the failure is reported.
    transfer.link.receiveFrame(0xBE, {0x01, 0x01, 0x03});
    EXPECT_EQ(transfer.link.sentBytes(), (Bytes{0xFD, 0x00, 0x03, 0x50, 0xF5, 0x5A, 0xDD}));
    EXPECT_EQ(transfer.backend->unpairs(), (std::vector<uint64_t>{transfer.link.device->address}));
    EXPECT_EQ(transfer.events.matching("OnDownloadFinish"),
              (std::vector<std::string>{"OnDownloadFinish(0,3)"}));
    EXPECT_EQ(transfer.events.count("OnFotaStateChange(1)"), 1);
    EXPECT_TRUE(log.contains("fota_download_control >> close Download. download fail reason : 3"));
    // Other states only report.
    transfer.link.receiveFrame(0xBE, {0x01, 0x02, 0x00});
    EXPECT_EQ(transfer.events.count("OnDownloadFinish"), 1);
    EXPECT_EQ(transfer.events.count("OnFotaStateChange(2)"), 1);
}

TEST(FirmwareTransferTest, AFragmentThatCannotBeReadIsNeverSentAndEndsTheTransfer) {
    LogCapture log;
    Transfer transfer(kSecond, {{1, 2000}});
    transfer.open();
    transfer.answer(0xBC, {0x00, 0x8A, 0x02});
    transfer.answer(0xBC, {0x01, 0x01});
    // The package is cut short under the transfer: the second fragment cannot be read whole.
    std::filesystem::resize_file(transfer.package.path, 12 + 16 + 700);
    const auto sent = transfer.answer(0xBD, {0x00, 0x00, 0x00, 0x03});
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(slice(sent[0].payload, 0, 4), (Bytes{0x00, 0x00, 0x00, 0x80}));
    EXPECT_TRUE(log.contains("RAF fail 4"));
    EXPECT_TRUE(log.contains("RAF fail 0"));
    EXPECT_EQ(transfer.events.matching("OnDownloadFinish"),
              (std::vector<std::string>{"OnDownloadFinish(0,-1)"}));
    EXPECT_TRUE(transfer.link.handle.flags().receiveWatchdogStop.load());

    // The rest of the session is ignored: no data, no second verdict, no reset.
    std::filesystem::remove(transfer.package.path);
    EXPECT_TRUE(transfer.answer(0xBD, {0x00, 0x00, 0x00, 0x01}).empty());
    EXPECT_TRUE(transfer.answer(0xBE, {0x01, 0x00, 0x06}).empty());
    EXPECT_EQ(transfer.events.count("OnDownloadFinish"), 1);
    EXPECT_TRUE(transfer.backend->unpairs().empty());

    // A new session starts clean; a missing file fails the same way.
    transfer.open();
    transfer.answer(0xBC, {0x00, 0x8A, 0x02});
    transfer.answer(0xBC, {0x01, 0x01});
    EXPECT_TRUE(transfer.answer(0xBD, {0x00, 0x00, 0x00, 0x01}).empty());
    EXPECT_EQ(transfer.events.count("OnDownloadFinish(0,-1)"), 2);
    EXPECT_TRUE(log.contains("cannot open"));
}

TEST(FirmwareTransferTest, EmergencyRequestIsAnsweredThenReported) {
    Transfer transfer(kSecond, {{1, 10}});
    transfer.link.receiveFrame(0xBA, {});
    const Bytes sent = transfer.link.sentBytes();
    ASSERT_EQ(sent.size(), 8u);
    EXPECT_EQ(slice(sent, 0, 5), (Bytes{0xFD, 0x04, 0x10, 0xBA, 0x00}));
    EXPECT_EQ(transfer.events.events(), (std::vector<std::string>{"OnDeviceVersionMismatch()"}));
}

TEST(FirmwareTransferTest, SessionOpenFailsWithoutALinkAndStartsNoWatchdog) {
    EventRecorder events;
    BluetoothDevice device(kSecond, 1);
    BluetoothDevice first(kFirst, 2);
    BluetoothHandle handle;
    handle.setConnectedDevice(&device);
    handle.addReceiver(&events);
    LinkTimings timings;
    timings.fotaOpenPause = std::chrono::milliseconds(0);
    handle.setTimings(timings);
    handle.flags().aliveCheckRunning.store(true);
    EXPECT_FALSE(handle.OpenFotaSession());
    EXPECT_EQ(handle.runningThreads(), 0);
    EXPECT_TRUE(handle.flags().aliveCheckRunning.load());
    EXPECT_FALSE(handle.sendFotaControl());

    // A first-generation open message with more entries than a one-byte length can frame.
    auto [ours, peer] = platform::bluetooth::FdConnection::createPair();
    handle.setConnectedDevice(&first);
    handle.setConnection(ours);
    FileInfo tooMany;
    tooMany.entryCount = 40;
    tooMany.entries.resize(40);
    handle.setFotaBin(tooMany);
    EXPECT_FALSE(handle.OpenFotaSession());
    EXPECT_EQ(handle.runningThreads(), 0);
}

TEST(FirmwareTransferTest, ReceiveWatchdogEndsASilentTransferAndAnyChunkKeepsItGoing) {
    LogCapture log;
    Transfer transfer(kSecond, {{1, 100}});
    LinkTimings timings;
    timings.fotaOpenPause = std::chrono::milliseconds(0);
    timings.receiveWatchdog = std::chrono::milliseconds(150);
    transfer.link.handle.setTimings(timings);

    transfer.open();
    // Chunks that hold no frame at all still count as life.
    for (int i = 0; i < 8; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        transfer.link.receive({0x00, 0x01});
    }
    EXPECT_EQ(transfer.events.count("OnDeviceDisconnected"), 0);
    ASSERT_TRUE(transfer.events.waitFor("OnDeviceDisconnected(1)"));
    EXPECT_TRUE(log.contains("ThreadCheckDeviceConnect -> do not REVC any message over 20s"));
    uint8_t byte = 0;
    EXPECT_EQ(::recv(transfer.link.peer->fd(), &byte, 1, 0), 0);  // the link was closed

    // A state-changed report stops the watchdog of the next session.
    std::tie(transfer.link.ours, transfer.link.peer) =
        platform::bluetooth::FdConnection::createPair();
    transfer.link.handle.setConnection(transfer.link.ours);
    transfer.open();
    transfer.link.receiveFrame(0xBE, {0x01, 0x00, 0x00});
    testing_support::eventually([&] { return transfer.link.handle.runningThreads() == 0; });
    EXPECT_EQ(transfer.link.handle.runningThreads(), 0);
    EXPECT_EQ(transfer.events.count("OnDeviceDisconnected"), 1);
}

// The update flow may set the next package on its own thread while the listener still serves
// the earbuds' entry requests from the current one; both go through the link's lock (a plain
// field write here is a data race that ThreadSanitizer reports).
TEST(FirmwareTransferTest, PackageCanBeSetWhileTheListenerReadsIt) {
    Transfer transfer(kSecond, {{1, 1300}});
    transfer.open();
    std::atomic<bool> stop{false};
    std::thread setter([&] {
        while (!stop.load()) {
            transfer.link.handle.setFotaBin(transfer.package.info);
        }
    });
    for (int i = 0; i < 200; ++i) {
        transfer.answer(0xBC, {1, 1});  // download entry 1
    }
    stop.store(true);
    setter.join();
    EXPECT_EQ(transfer.link.handle.fotaBin().entries.size(), 1u);
    EXPECT_EQ(transfer.link.handle.fotaBin().path, transfer.package.info.path);
}

namespace {

int occurrences(const std::string& text, const std::string& what) {
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace

TEST(FirmwareTransferTest, DataExchangesAreSummarisedInTheLogAndFailuresStillShow) {
    LogCapture log;
    // 100 fragments of 10 bytes: 99 acknowledgements that bring a fragment.
    Transfer transfer(kFirst, {{5, 1000}});
    const Bytes entry = transfer.package.entryBytes(0);
    transfer.open();
    transfer.answer(0xB1, {0x00, 10, 0x00});
    auto sent = transfer.answer(0xB1, {0x01, 0x05});
    ASSERT_EQ(sent.size(), 1u);
    for (uint32_t position = 0; position + 10 < 1000; position += 10) {
        sent = transfer.answer(0xB2, le32(position), true);
        ASSERT_EQ(sent.size(), 1u) << position;
        Bytes next = le32(position + 10);
        next[3] = position + 20 < 1000 ? 0x80 : 0x00;
        expectData(sent[0], 0xB2, next, slice(entry, position + 10, 10));
        if (position == 500) {
            // A broken acknowledgement in the middle of the quiet run is logged all the same.
            Bytes broken =
                devlink::buildFrame(devlink::Generation::First, 0xB2, le32(position), true);
            broken[broken.size() - 2] ^= 0xFF;
            transfer.link.receive(broken);
            EXPECT_TRUE(transfer.link.sentFrames().empty());
        }
    }
    const std::string text = log.text();
    // The first exchange and the 65th are logged frame by frame, with one summary between.
    EXPECT_EQ(occurrences(text, "===========SEND FOTA DATA==========="), 2);
    EXPECT_EQ(occurrences(text, "fragmentOffset["), 2);
    EXPECT_EQ(occurrences(text, "63 data exchanges before this one were not logged"), 1);
    EXPECT_EQ(occurrences(text, "checkMessageCRC ==> BAD"), 1);
    // Every message outside the data exchanges is logged as before.
    EXPECT_EQ(occurrences(text, "MSG_REQ: MSG_ID_FOTA_CONTROL"), 2);
    EXPECT_EQ(transfer.events.count("OnDownloadProgressChange"), 99);
}

#include <sys/socket.h>

#include <gtest/gtest.h>

#include "link/FrameCodec.h"
#include "link/MessageIds.h"
#include "tests/link/LinkTestSupport.h"

using devlink::buildFrame;
using devlink::Generation;
using link_test::Bytes;
using link_test::LinkUnderTest;
using link_test::LogCapture;

namespace {

// Second-generation 0x61 payload: revision 2, ear type 1, batteries 80/70, TWS 1, primary 0,
// wearing 3, case 60, bytes 8-14 unread, colours as given.
Bytes extendedPayload(uint8_t colorLow, uint8_t colorHigh, uint8_t colorRLow = 0x05) {
    Bytes payload{2, 1, 80, 70, 1, 0, 3, 60};
    payload.resize(15, 0xEE);
    payload.insert(payload.end(), {colorLow, colorHigh, colorRLow, 0x00});
    return payload;
}

// Checks, when the event arrives, that the acknowledgement has not been sent yet.
class OrderCheckingDelegate : public link_test::RecordingDelegate {
public:
    explicit OrderCheckingDelegate(int peerFd) : m_peerFd(peerFd) {}
    void OnDeviceStatusChange(DeviceStatus status) override {
        uint8_t byte;
        ackAlreadySent = ::recv(m_peerFd, &byte, 1, MSG_DONTWAIT | MSG_PEEK) > 0;
        RecordingDelegate::OnDeviceStatusChange(status);
    }
    bool ackAlreadySent = true;

private:
    int m_peerFd;
};

}  // namespace

TEST(StatusMessagesTest, StatusReportStoresSevenFieldsRaisesTheEventThenAcknowledges) {
    LogCapture log;
    LinkUnderTest link("Auralis+ (4F2A)");
    OrderCheckingDelegate delegate(link.peer->fd());
    link.receiveWith(delegate);
    const uint8_t payload[] = {1, 90, 80, 1, 2, 3, 70};
    EXPECT_TRUE(link.handle.routePayload(MSG_ID_STATUS_UPDATED, 0, payload, sizeof(payload)));
    ASSERT_EQ(delegate.statuses.size(), 1u);
    EXPECT_FALSE(delegate.ackAlreadySent);
    DeviceStatus expected;
    expected.earType = 1;
    expected.batteryLeft = 90;
    expected.batteryRight = 80;
    expected.twsStatus = 1;
    expected.mainConnection = 2;
    expected.wearingDetection = 3;
    expected.batteryCase = 70;
    EXPECT_EQ(delegate.statuses[0], expected);
    EXPECT_EQ(link.handle.deviceStatus(), expected);
    EXPECT_EQ(link.sentBytes(), (Bytes{0xFD, 0x04, 0x10, 0x60, 0x00, 0x2A, 0x0B, 0xDD}));
    EXPECT_TRUE(log.contains("=====parseStatusUpdate (0x60) start====="));
    EXPECT_TRUE(log.contains("[BluetoothHandle::parseStatusUpdate]: RECV: 01 5a 50 01 02 03 46 "));
    EXPECT_TRUE(
        log.contains("parseStatusUpdate (0x60) => earType[1] | batteryLeft[90] | "
                     "batteryRight[80] | batteryCase[70] | twsStatus[1] | mainConnection[2] | "
                     "wearingDetection[3]"));
}

TEST(StatusMessagesTest, ExtendedReportOfTheSecondGenerationReadsCaseAndColours) {
    LogCapture log;
    LinkUnderTest link("Auralis+ (4F2A)");
    const Bytes payload = extendedPayload(0x03, 0x00);
    EXPECT_TRUE(link.handle.routePayload(MSG_ID_EXTENDED_STATUS_UPDATED, 0, payload.data(),
                                         payload.size()));
    const DeviceStatus status = link.handle.deviceStatus();
    EXPECT_EQ(status.messageRevision, 2);
    EXPECT_EQ(status.batteryLeft, 80);
    EXPECT_EQ(status.batteryCase, 60);
    EXPECT_EQ(status.wearingDetection, 3);
    EXPECT_EQ(status.DeviceColorL, 3);
    EXPECT_EQ(status.DeviceColorR, 5);
    const Bytes ff = extendedPayload(0xFF, 0x00, 0x34);
    link.handle.routePayload(MSG_ID_EXTENDED_STATUS_UPDATED, 0, ff.data(), ff.size());
    EXPECT_EQ(link.handle.deviceStatus().DeviceColorL, 255);
    const Bytes wide = extendedPayload(0x01, 0x02);
    link.handle.routePayload(MSG_ID_EXTENDED_STATUS_UPDATED, 0, wide.data(), wide.size());
    EXPECT_EQ(link.handle.deviceStatus().DeviceColorL, 0x0201);
    EXPECT_EQ(link.delegate.statuses.size(), 3u);
    const Bytes ack = buildFrame(Generation::Second, 0x61, Bytes{0x00}, true);
    EXPECT_EQ(link.sentBytes(), link_test::join({ack, ack, ack}));
    EXPECT_TRUE(log.contains("parseExtendStatusUpdate (0x61) => Message Revision[2]"));
    EXPECT_TRUE(
        log.contains("parseExtendStatusUpdate (0x61) => BatteryLevelL[80] | BatteryLevelR[70] | "
                     "BatteryLevelCase[60]"));
    EXPECT_TRUE(
        log.contains("parseExtendStatusUpdate (0x61) => PrimaryEarbud[0] | WearingDetection[3] | "
                     "DeviceColorL[3] | DeviceColorR[5]"));
}

TEST(StatusMessagesTest, ReportsOverwriteOnlyTheirOwnFields) {
    // First generation: 0x61 zeroes case and colours even after 0x60 reported a case level.
    LinkUnderTest first("Auralis (77A0)");
    const uint8_t status[] = {1, 50, 50, 1, 1, 0, 77};
    first.handle.routePayload(MSG_ID_STATUS_UPDATED, 0, status, sizeof(status));
    EXPECT_EQ(first.handle.deviceStatus().batteryCase, 77);
    const uint8_t extended[] = {4, 1, 40, 41, 1, 1, 0};
    EXPECT_TRUE(
        first.handle.routePayload(MSG_ID_EXTENDED_STATUS_UPDATED, 0, extended, sizeof(extended)));
    EXPECT_EQ(first.handle.deviceStatus().batteryCase, 0);
    EXPECT_EQ(first.handle.deviceStatus().DeviceColorL, 0);
    EXPECT_EQ(first.handle.deviceStatus().messageRevision, 4);
    EXPECT_EQ(first.sentBytes(),
              link_test::join({{0xFE, 0x01, 0x05, 0x51, 0x60, 0x00, 0xD4, 0x62, 0xEE},
                               buildFrame(Generation::First, 0x51, Bytes{0x61, 0x00}, true)}));

    // Second generation: 0x60 leaves revision and colours as 0x61 set them.
    LinkUnderTest second("Auralis+ (4F2A)");
    const Bytes payload = extendedPayload(0x03, 0x00);
    second.handle.routePayload(MSG_ID_EXTENDED_STATUS_UPDATED, 0, payload.data(), payload.size());
    second.handle.routePayload(MSG_ID_STATUS_UPDATED, 0, status, sizeof(status));
    const DeviceStatus after = second.handle.deviceStatus();
    EXPECT_EQ(after.messageRevision, 2);
    EXPECT_EQ(after.DeviceColorL, 3);
    EXPECT_EQ(after.batteryCase, 77);
    for (int32_t unused : after.unused) {
        EXPECT_EQ(unused, 0);
    }
}

TEST(StatusMessagesTest, PayloadsShorterThanTheirLayoutAreIgnored) {
    LogCapture log;
    LinkUnderTest link("Auralis+ (4F2A)");
    const Bytes good = extendedPayload(0x03, 0x00);
    link.handle.routePayload(MSG_ID_EXTENDED_STATUS_UPDATED, 0, good.data(), good.size());
    const DeviceStatus before = link.handle.deviceStatus();
    link.sentBytes();
    link.delegate.statuses.clear();

    const uint8_t six[] = {1, 2, 3, 4, 5, 6};
    EXPECT_FALSE(link.handle.routePayload(MSG_ID_STATUS_UPDATED, 0, six, sizeof(six)));
    EXPECT_FALSE(link.handle.routePayload(MSG_ID_EXTENDED_STATUS_UPDATED, 0, good.data(), 18));
    EXPECT_FALSE(link.handle.routePayload(MSG_ID_STATUS_UPDATED, 0, nullptr, 0));
    EXPECT_EQ(link.handle.deviceStatus(), before);
    EXPECT_TRUE(link.delegate.statuses.empty());
    EXPECT_TRUE(link.sentBytes().empty());
    EXPECT_TRUE(log.contains("payload of 6 bytes is shorter than the 7 bytes of its layout"));

    const Bytes serials(21, '7');
    EXPECT_FALSE(
        link.handle.routePayload(MSG_ID_DEBUG_SERIAL_NUMBER, 1, serials.data(), serials.size()));
    EXPECT_TRUE(link.delegate.imeis.empty());

    // The first generation's extended report needs only 7 bytes, its serials 24.
    LinkUnderTest first("Auralis (77A0)");
    EXPECT_TRUE(first.handle.routePayload(MSG_ID_EXTENDED_STATUS_UPDATED, 0, good.data(), 7));
    EXPECT_FALSE(
        first.handle.routePayload(MSG_ID_DEBUG_SERIAL_NUMBER, 1, Bytes(23, '1').data(), 23));
    EXPECT_TRUE(
        first.handle.routePayload(MSG_ID_DEBUG_SERIAL_NUMBER, 1, Bytes(24, '1').data(), 24));
}

TEST(StatusMessagesTest, SoftwareVersionUpdatesOneSideAndReportsBoth) {
    LogCapture log;
    LinkUnderTest link("Auralis+ (4F2A)");
    const std::string left = "L1.0.4";
    const std::string right = "R2.1.0";
    EXPECT_TRUE(link.handle.routePayload(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION, 1,
                                         reinterpret_cast<const uint8_t*>(left.data()),
                                         left.size()));
    EXPECT_TRUE(link.handle.routePayload(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION, 1,
                                         reinterpret_cast<const uint8_t*>(right.data()),
                                         right.size()));
    const std::string other = "X9";
    EXPECT_TRUE(link.handle.routePayload(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION, 1,
                                         reinterpret_cast<const uint8_t*>(other.data()),
                                         other.size()));
    ASSERT_EQ(link.delegate.versions.size(), 3u);
    EXPECT_EQ(link.delegate.versions[0], std::make_pair(std::string("1.0.4"), std::string()));
    EXPECT_EQ(link.delegate.versions[1],
              std::make_pair(std::string("1.0.4"), std::string("2.1.0")));
    EXPECT_EQ(link.delegate.versions[2], link.delegate.versions[1]);
    EXPECT_TRUE(log.contains("=====parseSWVersion (0xB4) start====="));
    EXPECT_TRUE(log.contains("SW_Version: R2.1.0"));

    // The text ends at the first NUL; an empty text raises nothing.
    const uint8_t withNul[] = {'R', '3', 0, 'x', 'y'};
    link.handle.routePayload(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION, 1, withNul, sizeof(withNul));
    EXPECT_EQ(link.handle.softwareVersionRight(), "3");
    const uint8_t nulFirst[] = {0, 'R', '4'};
    EXPECT_FALSE(link.handle.routePayload(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION, 1, nulFirst,
                                          sizeof(nulFirst)));
    EXPECT_EQ(link.delegate.versions.size(), 4u);
    // 8-bit text that is not UTF-8 arrives as UTF-8.
    const uint8_t latin1[] = {'L', '1', 0xE9};
    link.handle.routePayload(MSG_ID_FOTA_DEVICE_INFO_SW_VERSION, 1, latin1, sizeof(latin1));
    EXPECT_EQ(link.handle.softwareVersionLeft(), "1\xC3\xA9");
}

TEST(StatusMessagesTest, SerialNumbersAreFixedWidthFieldsCopiedAsTheyAre) {
    LogCapture log;
    LinkUnderTest link("Auralis+ (4F2A)");
    Bytes payload(22, '0');
    for (int i = 0; i < 11; ++i) {
        payload[i] = static_cast<uint8_t>('A' + i);
    }
    payload[3] = 0;
    payload[20] = 0;
    EXPECT_TRUE(
        link.handle.routePayload(MSG_ID_DEBUG_SERIAL_NUMBER, 1, payload.data(), payload.size()));
    ASSERT_EQ(link.delegate.imeis.size(), 1u);
    const auto& event = link.delegate.imeis[0];
    EXPECT_TRUE(event.valid);
    EXPECT_EQ(event.left, std::string("ABC\0EFGHIJK", 11));
    EXPECT_EQ(event.right.size(), 11u);
    EXPECT_EQ(event.right[9], '\0');
    EXPECT_EQ(link.handle.imeiLeft(), event.left);
    EXPECT_TRUE(log.contains("=====parseDeviceIMEI (0x29) start====="));
    EXPECT_TRUE(log.contains("imeiLeft: ABC\n"));
    EXPECT_TRUE(log.contains("imeiRight: 000000000\n"));

    // First generation: two fields of 12 bytes.
    LinkUnderTest first("Auralis (77A0)");
    Bytes serials(24, 'L');
    std::fill(serials.begin() + 12, serials.end(), 'R');
    first.handle.routePayload(MSG_ID_DEBUG_SERIAL_NUMBER, 1, serials.data(), serials.size());
    EXPECT_EQ(first.handle.imeiLeft(), std::string(12, 'L'));
    EXPECT_EQ(first.handle.imeiRight(), std::string(12, 'R'));
}

TEST(StatusMessagesTest, StateOutlivesConnectionsAndEventsNeedADelegate) {
    LinkUnderTest link("Auralis+ (4F2A)");
    const uint8_t status[] = {1, 20, 30, 1, 1, 0, 40};
    link.handle.routePayload(MSG_ID_STATUS_UPDATED, 0, status, sizeof(status));
    const std::string serials(22, '5');
    link.handle.routePayload(MSG_ID_DEBUG_SERIAL_NUMBER, 1,
                             reinterpret_cast<const uint8_t*>(serials.data()), serials.size());

    BluetoothDevice another("Auralis2 (0C11)", 9);
    link.handle.setConnectedDevice(&another);
    link.handle.setConnection(nullptr);
    EXPECT_EQ(link.handle.deviceStatus().batteryRight, 30);
    EXPECT_EQ(link.handle.imeiLeft(), std::string(11, '5'));

    // Without a delegate and without a connection the handlers still keep the state.
    BluetoothHandle alone;
    EXPECT_TRUE(alone.routePayload(MSG_ID_STATUS_UPDATED, 0, status, sizeof(status)));
    EXPECT_EQ(alone.deviceStatus().batteryLeft, 20);
}

#include <gtest/gtest.h>

#include "link/FrameCodec.h"
#include "link/MessageIds.h"
#include "link/MessageRoute.h"
#include "tests/link/LinkTestSupport.h"

using devlink::buildFrame;
using devlink::Generation;
using link_test::Bytes;
using link_test::LinkUnderTest;
using link_test::LogCapture;

namespace {

devlink::MessageRoute routeMessage(int id, int response) {
    return devlink::routeMessage(id, response, Generation::First);
}

}  // namespace

TEST(MessageDispatchTest, EveryIdReachesItsHandlerByResponseFlag) {
    // What the routing table does with each id and flag: drop it, only log it, or hand it on.
    enum class Kind { Dropped, LogOnly, Handled };
    const auto kindOf = [](const devlink::MessageRoute& route) {
        if (route.name == nullptr) {
            return Kind::Dropped;
        }
        return route.handler != nullptr ? Kind::Handled : Kind::LogOnly;
    };
    struct Row {
        int id;
        Kind request;
        Kind response;
    };
    const Row rows[] = {
        {0x29, Kind::Dropped, Kind::Handled}, {0x50, Kind::Dropped, Kind::Dropped},
        {0x51, Kind::Dropped, Kind::Dropped}, {0x60, Kind::Handled, Kind::Handled},
        {0x61, Kind::Handled, Kind::LogOnly}, {0xB0, Kind::Handled, Kind::Handled},
        {0xB1, Kind::Handled, Kind::Dropped}, {0xB2, Kind::LogOnly, Kind::Handled},
        {0xB3, Kind::Handled, Kind::LogOnly}, {0xB4, Kind::Dropped, Kind::Handled},
        {0xBA, Kind::Handled, Kind::Dropped}, {0xBB, Kind::Handled, Kind::Dropped},
        {0xBC, Kind::Handled, Kind::Dropped}, {0xBD, Kind::Handled, Kind::Dropped},
        {0xBE, Kind::Handled, Kind::Dropped}, {0x00, Kind::Dropped, Kind::Dropped},
        {0x62, Kind::Dropped, Kind::Dropped}, {0xB5, Kind::Dropped, Kind::Dropped},
        {0xFF, Kind::Dropped, Kind::Dropped},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(kindOf(routeMessage(row.id, 0)), row.request) << std::hex << row.id;
        EXPECT_EQ(kindOf(routeMessage(row.id, 1)), row.response) << std::hex << row.id;
    }
    // The second generation's control and update requests share the first generation's
    // handlers; the status report reaches one handler whatever its flag.
    EXPECT_EQ(routeMessage(MSG_ID_FOTA2_CONTROL, 0).handler,
              routeMessage(MSG_ID_FOTA_CONTROL, 0).handler);
    EXPECT_EQ(routeMessage(MSG_ID_FOTA2_UPDATE, 0).handler,
              routeMessage(MSG_ID_FOTA_UPDATE, 0).handler);
    EXPECT_EQ(routeMessage(MSG_ID_STATUS_UPDATED, 0).handler,
              routeMessage(MSG_ID_STATUS_UPDATED, 1).handler);
    EXPECT_NE(routeMessage(MSG_ID_FOTA2_DATA, 0).handler,
              routeMessage(MSG_ID_FOTA_DOWNLOAD_DATA, 1).handler);
    EXPECT_STREQ(routeMessage(MSG_ID_FOTA2_CONTROL, 0).name, "MSG_ID_FOTA_CONTROL");
    EXPECT_STREQ(routeMessage(MSG_ID_FOTA2_UPDATE, 0).name, "MSG_ID_FOTA_UPDATE");
    EXPECT_STREQ(routeMessage(MSG_ID_FOTA2_EMERGENCY, 0).name, "MSG_ID_FOTA2_EMERGENCY");
    EXPECT_EQ(routeMessage(0x29, 0).name, nullptr);
}

TEST(MessageDispatchTest, ReceivedMessagesAreLoggedByFlagAndHandled) {
    LogCapture log;
    LinkUnderTest link("Auralis2 (0C11)");
    const Bytes status{1, 2, 3, 1, 1, 3, 4};
    link.receive(buildFrame(Generation::Second, 0x60, status, false));
    link.receive(buildFrame(Generation::Second, 0x60, status, true));
    EXPECT_EQ(link.delegate.statuses.size(), 2u);
    EXPECT_TRUE(log.contains("MSG_REQ: MSG_ID_STATUS_UPDATED"));
    EXPECT_TRUE(log.contains("MSG_RES: MSG_ID_STATUS_UPDATED"));

    // Logged only: no handler runs, so no event and no acknowledgement.
    link.sentBytes();
    link.receive(buildFrame(Generation::Second, 0x61, Bytes(19, 1), true));
    EXPECT_TRUE(log.contains("MSG_RES: MSG_ID_EXTENDED_STATUS_UPDATED"));
    EXPECT_EQ(link.delegate.statuses.size(), 2u);
    EXPECT_TRUE(link.sentBytes().empty());

    // Dropped: not even logged.
    link.receive(buildFrame(Generation::Second, 0x29, Bytes(22, '1'), false));
    EXPECT_FALSE(log.contains("MSG_REQ: MSG_ID_DEBUG_SERIAL_NUMBER"));
    EXPECT_TRUE(link.delegate.imeis.empty());

    // Transfer messages reach their handlers: the MTU request is answered with 650.
    link.receive(buildFrame(Generation::Second, 0xBC, Bytes{0x00, 0xE8, 0x03}, false));
    EXPECT_TRUE(log.contains("MSG_REQ: MSG_ID_FOTA_CONTROL"));
    EXPECT_TRUE(log.contains("MTU size : 1000"));
    EXPECT_EQ(link.sentBytes(),
              buildFrame(Generation::Second, 0xBC, Bytes{0x00, 0x8A, 0x02}, true));
}

TEST(MessageDispatchTest, HandlersGetACopyOfExactlyThePayload) {
    LogCapture log;
    LinkUnderTest link("Auralis+ (4F2A)");
    // A 3-byte body: the handler gets an empty payload.
    link.receive(buildFrame(Generation::Second, 0xB4, {}, true));
    EXPECT_TRUE(link.delegate.versions.empty());
    EXPECT_TRUE(log.contains("SW_Version: \n"));

    // A record whose stated length disagrees with its frame yields no more than the frame holds.
    SPPMessage lying;
    lying.frame = buildFrame(Generation::Second, 0xB4, Bytes{'L', '1'}, true);
    lying.frameLength = static_cast<int>(lying.frame.size());
    lying.msgId = 0xB4;
    lying.response = 1;
    lying.bodyLength = 250;
    link.handle.dispatchMessage(lying);
    ASSERT_EQ(link.delegate.versions.size(), 1u);
    EXPECT_EQ(link.delegate.versions[0].first, "1");
}

TEST(MessageDispatchTest, EachRowStatesItsPayloadLayoutByGeneration) {
    struct Row {
        int id;
        int response;
        std::size_t first;
        std::size_t second;
    };
    const Row rows[] = {
        {0x29, 1, 24, 22}, {0x60, 0, 7, 7}, {0x60, 1, 7, 7}, {0x61, 0, 7, 19}, {0xB0, 0, 2, 2},
        {0xB1, 0, 1, 1},   {0xB2, 1, 4, 4}, {0xB3, 0, 1, 1}, {0xB4, 1, 0, 0},  {0xBA, 0, 0, 0},
        {0xBB, 0, 1, 1},   {0xBC, 0, 1, 1}, {0xBD, 0, 4, 4}, {0xBE, 0, 1, 1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(devlink::routeMessage(row.id, row.response, Generation::First).minLength,
                  row.first)
            << std::hex << row.id;
        EXPECT_EQ(devlink::routeMessage(row.id, row.response, Generation::Second).minLength,
                  row.second)
            << std::hex << row.id;
    }
}

TEST(MessageDispatchTest, APayloadShorterThanItsLayoutIsLoggedAndReachesNoHandler) {
    LogCapture log;
    LinkUnderTest link("Auralis2 (0C11)");
    // A second-generation extended status report of 18 bytes: one short of its layout.
    link.receiveFrame(0x61, Bytes(18, 1));
    EXPECT_TRUE(log.contains("parseExtendStatusUpdate"));
    EXPECT_TRUE(
        log.contains("payload of 18 bytes is shorter than the 19 bytes of its layout; "
                     "message ignored"));
    EXPECT_TRUE(link.delegate.statuses.empty());
    EXPECT_TRUE(link.sentBytes().empty()) << "a short report is not acknowledged";

    // The same through routePayload, for each part: false, and nothing changes.
    EXPECT_FALSE(link.handle.routePayload(0x29, 1, Bytes(21, '1').data(), 21));
    EXPECT_TRUE(log.contains("payload of 21 bytes is shorter than the 22 bytes of its layout"));
    EXPECT_TRUE(link.delegate.imeis.empty());
    EXPECT_FALSE(link.handle.routePayload(0xBD, 0, Bytes(3, 0).data(), 3));
    EXPECT_TRUE(log.contains("payload of 3 bytes is shorter than the 4 bytes of its layout"));
    EXPECT_TRUE(link.sentBytes().empty());
    // A dropped or log-only message reaches no handler either.
    EXPECT_FALSE(link.handle.routePayload(0x29, 0, Bytes(22, '1').data(), 22));
    EXPECT_FALSE(link.handle.routePayload(0x61, 1, Bytes(19, 1).data(), 19));
    EXPECT_TRUE(link.delegate.imeis.empty());

    // Exactly the layout is enough.
    EXPECT_TRUE(link.handle.routePayload(0x61, 0, Bytes(19, 1).data(), 19));
    EXPECT_EQ(link.delegate.statuses.size(), 1u);
}

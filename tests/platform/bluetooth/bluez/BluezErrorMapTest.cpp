#include "platform/bluetooth/bluez/BluezErrorMap.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/bluetooth/BluetoothError.h"

namespace {

namespace bt = platform::bluetooth;
using bt::BluezOperation;

// The same error name means different things to different operations, and the seam's callers
// react to the codes (259 lets a connect go on; ECONNREFUSED vs ENOENT on connect).
TEST(BluezErrorMapTest, NamesDependOnTheOperation) {
    const std::string alreadyExists = "org.bluez.Error.AlreadyExists";
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Pair, alreadyExists, "Already Paired"),
              bt::kErrorAlreadyPaired);
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Connect, alreadyExists, ""), EEXIST);

    const std::string unknown = "org.freedesktop.DBus.Error.ServiceUnknown";
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Radio, unknown, ""), ECONNREFUSED);
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Connect, unknown, ""), ENOENT);

    const std::string doesNotExist = "org.bluez.Error.DoesNotExist";
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Unpair, doesNotExist, ""), ENOENT);
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Pair, doesNotExist, ""), EHOSTDOWN);

    const std::string rejected = "org.bluez.Error.AuthenticationRejected";
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Pair, rejected, ""), bt::kErrorNotAuthenticated);
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Connect, rejected, ""), EACCES);
}

// org.bluez.Error.Failed carries its cause in the message text.
TEST(BluezErrorMapTest, FailedIsReadFromItsMessage) {
    const std::string failed = "org.bluez.Error.Failed";
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Connect, failed, "br-connection-page-timeout"),
              EHOSTDOWN);
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Connect, failed, "br-connection-refused"),
              ECONNREFUSED);
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Connect, failed, "br-connection-busy"), EBUSY);
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Connect, failed, "br-connection-timeout"),
              ETIMEDOUT);
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Connect, failed, "br-connection-unknown"), EIO);
    EXPECT_EQ(
        bt::mapBluezError(BluezOperation::Connect, failed, "br-connection-adapter-not-powered"),
        ENODEV);
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Pair, failed, "Host is down"), EHOSTDOWN);
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Pair, failed, "Something new"), EIO);
}

// BlueZ 5.66 reports a busy RFCOMM connect as Failed "br-connection-busy", and a service it
// made no profile of as NotAvailable: retries and the SDP fallback look at both parts.
TEST(BluezErrorMapTest, BusyAndUnavailableAreReadFromNameAndMessage) {
    EXPECT_TRUE(bt::isBluezBusy("org.bluez.Error.Failed", "br-connection-busy"));
    EXPECT_TRUE(bt::isBluezBusy("org.bluez.Error.InProgress", "Operation already in progress"));
    EXPECT_FALSE(bt::isBluezBusy("org.bluez.Error.Failed", "br-connection-page-timeout"));
    EXPECT_TRUE(bt::isProfileUnavailable("org.bluez.Error.NotAvailable",
                                         "br-connection-profile-unavailable"));
    EXPECT_FALSE(bt::isProfileUnavailable("org.bluez.Error.Failed", "br-connection-refused"));
}

TEST(BluezErrorMapTest, BusErrorsAndStrangersNeverMapToSuccess) {
    EXPECT_TRUE(bt::isBluezUnreachable("org.freedesktop.DBus.Error.Spawn.ChildExited"));
    EXPECT_TRUE(bt::isBluezUnreachable("org.freedesktop.systemd1.NoSuchUnit"));
    EXPECT_FALSE(bt::isBluezUnreachable("org.bluez.Error.NotReady"));
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Scan, "org.freedesktop.DBus.Error.NoReply", ""),
              ETIMEDOUT);
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Scan, "org.bluez.Error.NotReady", ""), ENODEV);
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Scan, "com.example.Whatever", ""), EPROTO);
    EXPECT_EQ(bt::mapBluezError(BluezOperation::Scan, "", ""), EPROTO);
}

}  // namespace

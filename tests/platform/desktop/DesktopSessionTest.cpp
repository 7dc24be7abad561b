#include <gtest/gtest.h>

#include <atomic>
#include <optional>

#include "platform/desktop/DesktopSession.h"
#include "tests/common/Eventually.h"
#include "tests/platform/desktop/DesktopStandIns.h"

namespace {

using platform::desktop::DesktopNotice;
using platform::desktop::DesktopSession;
using platform::desktop::TrayContent;
using platform::desktop::TrayMenuEntry;
using platform::desktop::TrayPixmap;
using Kind = TrayMenuEntry::Kind;
using testing_support::eventually;

TrayContent Content(const std::string& text) {
    TrayContent content;
    content.title = "Auralis Manager";
    content.tooltipTitle = "Auralis+ (4F2A)";
    content.tooltipText = text;
    content.icon = {TrayPixmap{1, 1, {255, 1, 2, 3}},
                    TrayPixmap{2, 2, std::vector<uint8_t>(16, 9)}};
    content.menu = {{10, Kind::Text, text, false},
                    {11, Kind::Separator, "", false},
                    {1, Kind::Action, "Open", false},
                    {3, Kind::Toggle, "Keep", true}};
    return content;
}

class DesktopSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.started());
        DesktopSession::Handlers handlers;
        handlers.activate = [this] { ++activations; };
        handlers.menuChosen = [this](int id) { chosen = id; };
        handlers.trayShown = [this](bool shown) { shownReports += shown ? 1 : 100; };
        handlers.noticeActivated = [this] { ++noticeClicks; };
        session.emplace(std::move(handlers), "Auralis Manager", "auralis-manager");
    }
    void TearDown() override { session.reset(); }

    desktop_test::PrivateSessionBus bus;
    std::optional<DesktopSession> session;
    std::atomic<int> activations{0};
    std::atomic<int> chosen{0};
    std::atomic<int> shownReports{0};
    std::atomic<int> noticeClicks{0};
};

// What a panel reads back is what was shown: properties, tooltip, the menu with its kinds, and
// an update that changes the text; clicks and activation come back to the program.
TEST_F(DesktopSessionTest, APanelReadsTheItemAndItsMenuAndReportsClicks) {
    desktop_test::TrayWatcherStandIn watcher(bus.address());
    session->showTray(Content("Left 64 %"));
    ASSERT_TRUE(eventually([&] { return session->trayShown(); }));
    EXPECT_EQ(shownReports.load(), 1);
    ASSERT_EQ(watcher.registered().size(), 1u);

    EXPECT_EQ(watcher.textProperty("Title"), "Auralis Manager");
    EXPECT_EQ(watcher.textProperty("Id"), "auralis-manager");
    EXPECT_EQ(watcher.textProperty("Status"), "Active");
    EXPECT_EQ(watcher.menuPath(), DesktopSession::kMenuPath);
    const auto pixmaps = watcher.iconPixmaps();
    ASSERT_EQ(pixmaps.size(), 2u);
    EXPECT_EQ(pixmaps[0].argb, (std::vector<uint8_t>{255, 1, 2, 3}));
    EXPECT_EQ(pixmaps[1].width, 2);
    EXPECT_EQ(watcher.toolTip().title, "Auralis+ (4F2A)");
    EXPECT_EQ(watcher.toolTip().text, "Left 64 %");

    const auto menu = watcher.menu();
    ASSERT_EQ(menu.size(), 4u);
    EXPECT_EQ(menu[0].label, "Left 64 %");
    EXPECT_FALSE(menu[0].enabled);  // a level line cannot be chosen
    EXPECT_EQ(menu[1].type, "separator");
    EXPECT_TRUE(menu[2].enabled);
    EXPECT_EQ(menu[3].toggleState, 1);

    session->showTray(Content("Left 18 %"));
    ASSERT_TRUE(session->settle(5000));
    EXPECT_EQ(watcher.toolTip().text, "Left 18 %");
    EXPECT_EQ(watcher.menu()[0].label, "Left 18 %");
    EXPECT_EQ(watcher.registered().size(), 1u);  // an update is no second registration

    watcher.clickMenu(10);  // a text line: nothing
    watcher.clickMenu(1);
    EXPECT_TRUE(eventually([&] { return chosen.load() == 1; }));
    watcher.activate();
    EXPECT_TRUE(eventually([&] { return activations.load() == 1; }));
}

// No panel: nothing is registered and nothing claims to be shown; a panel that starts later
// gets the item; a panel that goes away is reported, and so is the item withdrawn.
TEST_F(DesktopSessionTest, FollowsPanelsThatComeAndGo) {
    session->showTray(Content("Left 64 %"));
    ASSERT_TRUE(session->settle(5000));
    EXPECT_FALSE(session->trayShown());
    {
        desktop_test::TrayWatcherStandIn watcher(bus.address());
        ASSERT_TRUE(eventually([&] { return session->trayShown(); }));
        EXPECT_EQ(watcher.registered().size(), 1u);
    }
    ASSERT_TRUE(eventually([&] { return !session->trayShown(); }));
    desktop_test::TrayWatcherStandIn restarted(bus.address());
    ASSERT_TRUE(eventually([&] { return session->trayShown(); }));
    session->hideTray();
    ASSERT_TRUE(eventually([&] { return !session->trayShown(); }));
    EXPECT_EQ(shownReports.load(), 1 + 100 + 1 + 100);
}

// Notices reach the server with the icon and a default action; a click on ours is reported, a
// click on another program's notice is not.
TEST_F(DesktopSessionTest, NoticesReachTheServerAndTheirClickComesBack) {
    desktop_test::NotificationServerStandIn server(bus.address());
    session->notify({"Earbuds battery low", "Left 20 %", "/res/icon_64.png", "Open"});
    ASSERT_TRUE(eventually([&] { return server.notices().size() == 1; }));
    const auto notice = server.notices().front();
    EXPECT_EQ(notice.appName, "Auralis Manager");
    EXPECT_EQ(notice.summary, "Earbuds battery low");
    EXPECT_EQ(notice.body, "Left 20 %");
    EXPECT_EQ(notice.icon, "/res/icon_64.png");
    EXPECT_EQ(notice.actions, (std::vector<std::string>{"default", "Open"}));
    server.clickDefault(notice.id);
    ASSERT_TRUE(eventually([&] { return noticeClicks.load() == 1; }));
    server.clickDefault(notice.id + 7);
    server.clickDefault(notice.id);  // after the foreign click, in order
    ASSERT_TRUE(eventually([&] { return noticeClicks.load() >= 2; }));
    // Had the foreign click counted, a third would follow at once.
    EXPECT_FALSE(
        eventually([&] { return noticeClicks.load() > 2; }, std::chrono::milliseconds(300)));
}

// Without a session bus the program goes on as if nothing were asked.
TEST(DesktopSessionWithoutBusTest, NothingHappensWithoutASessionBus) {
    testing_support::ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    DesktopSession session({}, "Auralis Manager", "auralis-manager");
    session.showTray(Content("Left 64 %"));
    session.notify({"a", "b", "", ""});
    ASSERT_TRUE(session.settle(5000));
    EXPECT_FALSE(session.trayShown());
    EXPECT_TRUE(session.busName().empty());
}

}  // namespace

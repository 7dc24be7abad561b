// A tooltip as a screen reader meets it on a real accessibility bus: the bridge runs in this
// process (headless windows, a private session in which the accessibility bus and registry
// start by D-Bus activation), and a client on another thread reads the desktop's tree while
// this thread keeps the UI running. The tooltip appears as a "tool tip" named by its text and
// goes when the pointer leaves. Skipped where dbus-daemon is missing.

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>

#include "a11y/AccessibilityBridge.h"
#include "platform/TickCount.h"
#include "tests/a11y/AccessibilitySession.h"
#include "tests/a11y/AccessibleDesktop.h"
#include "tests/common/TestSandbox.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/SCommonToolTipContent.h"
#include "ui/SToolTipWindow.h"

namespace {

using namespace std::chrono_literals;

class ToolTipOnTheBusTest : public ui_test::UiTest {
protected:
    void SetUp() override {
        if (!m_session.start(testing_support::makeTempFolder("a11y-tooltip"))) {
            GTEST_SKIP() << "needs dbus-daemon (Debian package dbus)";
        }
        m_sessionEnv = std::make_unique<testing_support::ScopedEnv>("DBUS_SESSION_BUS_ADDRESS",
                                                                    m_session.address());
        CreateFrame(300, 200);
        ASSERT_NE(SToolTipWindow::Install(), nullptr);
        m_battery = AddChild(&frame.root, "Battery", SMargin(100, 80, -1, -1), SSize(60, 30));
        m_battery->SetToolTip(std::make_unique<SCommonToolTipContent>("Left earbud: 80 %"));
        m_bridge = a11y::AccessibilityBridge::Start(app->GetDispatcher(), "TooltipProgram");
        ASSERT_NE(m_bridge, nullptr);
    }

    void TearDown() override {
        m_bridge.reset();
        SToolTipWindow::Uninstall();
    }

    // Keeps the UI thread running (its clock too, for the tooltip's delays) until the client's
    // answer is there.
    bool PumpUntil(std::future<bool>& answer) {
        while (answer.wait_for(5ms) != std::future_status::ready) {
            m_clock.advance(5);
            Pump();
        }
        return answer.get();
    }

    a11y_test::AccessibilitySession m_session;
    std::unique_ptr<testing_support::ScopedEnv> m_sessionEnv;
    platform::ManualTickSource m_clock;
    ui_test::RecordingWidget* m_battery = nullptr;
    std::unique_ptr<a11y::AccessibilityBridge> m_bridge;
};

TEST_F(ToolTipOnTheBusTest, AppearsAsAToolTipNamedByItsTextAndGoesWithThePointer) {
    a11y_test::AccessibleDesktop desktop(m_session.address());
    const a11y_test::AccessibleQuery tip{.role = "tool tip", .name = "Left earbud: 80 %"};
    const a11y_test::AccessibleQuery text{
        .role = "label", .name = "Left earbud: 80 %", .window = "Left earbud: 80 %"};

    // The program is on the bus, without a tooltip yet.
    std::future<bool> listed = std::async(std::launch::async, [&] {
        return desktop.Shows("TooltipProgram", {.role = "frame"}) &&
               desktop.Lacks("TooltipProgram", tip, 0ms);
    });
    ASSERT_TRUE(PumpUntil(listed)) << desktop.Problem();

    backend.injectMouseMove(WindowId(), 130, 95);
    std::future<bool> shown = std::async(std::launch::async, [&] {
        return desktop.Shows("TooltipProgram", tip) && desktop.Shows("TooltipProgram", text);
    });
    ASSERT_TRUE(PumpUntil(shown)) << desktop.Problem();

    backend.injectMouseMove(WindowId(), 20, 20);
    std::future<bool> gone =
        std::async(std::launch::async, [&] { return desktop.Lacks("TooltipProgram", tip); });
    EXPECT_TRUE(PumpUntil(gone)) << desktop.Problem();
}

}  // namespace

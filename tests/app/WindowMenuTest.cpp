// The window menu under the title bar's menu button, and the about dialog: opening only while
// the button is pressed, the ways it closes, disabled entries, the command a choice posts, the
// update mark's check picture, the version text in both reading orders, and the licence page.

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "app/AboutTesselPanel.h"
#include "app/SAboutDialog.h"
#include "link/BluetoothHandle.h"
#include "platform/window/Keys.h"
#include "services/EnvironVar.h"
#include "tests/app/AppTestSupport.h"
#include "tests/app/DialogScript.h"
#include "tests/common/TestSandbox.h"
#include "ui/CHtmlDlg.h"
#include "ui/ICommandDelegate.h"
#include "ui/SFontTable.h"
#include "ui/SMessageTextPanel.h"
#include "ui/SPopupDialog.h"

using app_test::DialogScript;
using namespace std::chrono_literals;

namespace {

// Takes every command before the main frame does.
class CommandRecorder : public ICommandDelegate {
public:
    int OnCommand(int commandId) override {
        commands.push_back(commandId);
        return 1;
    }
    std::vector<int> commands;
};

class WindowMenuTest : public app_test::MainFrameTest {
protected:
    void SetUp() override {
        CreateFrame(&link);
        frame->commandDelegates.insert(frame->commandDelegates.begin(), &recorder);
    }
    void TearDown() override {
        DestroyFrame();
        link.shutdown(5s);
    }

    SMenuFrame& Menu() { return frame->GetMenuFrame(); }
    SImageButton& MenuButton() { return frame->GetTitleBar().GetMenuButton(); }
    // A click in the middle of a menu item, in the menu's own window.
    void ClickItem(std::size_t index) {
        SMenuItem* item = Menu().GetItem(index);
        ASSERT_NE(item, nullptr);
        const SRect rect = item->GetRect(SWindowBase::kRectInFrame, 0);
        const int x = static_cast<int>((rect.left + rect.right) / 2);
        const int y = static_cast<int>((rect.top + rect.bottom) / 2);
        const auto id = Menu().GetWindow()->id();
        backend.injectMouseMove(id, x, y);
        backend.injectButtonDown(id, x, y);
        backend.injectButtonUp(id, x, y);
        PumpFor(5ms);
    }
    void OpenMenu() {
        Click(MenuButton());
        ASSERT_TRUE(Menu().IsOpen());
    }
    void Inject(platform::window::WindowEvent::Type type) {
        platform::window::WindowEvent event;
        event.type = type;
        event.window = frame->GetWindow()->id();
        backend.inject(event);
    }

    BluetoothHandle link;
    CommandRecorder recorder;
};

TEST_F(WindowMenuTest, OpensBelowItsPressedButtonWithTheWindowMenusEntries) {
    OpenMenu();
    EXPECT_NE(MenuButton().GetChecked(), 0);
    ASSERT_TRUE(Menu().GetWindow()->isVisible());
    const SRect button = MenuButton().GetRect(SWindowBase::kRectOnScreen, 1);
    const platform::window::Rect menu = Menu().GetWindow()->screenRect();
    EXPECT_EQ(menu.y, static_cast<int>(button.bottom));
    // Lined up with the button's right edge: the menu stays over the main window.
    EXPECT_NEAR(menu.x + menu.width, button.right, SMenuPanel::kInsetSide);
    EXPECT_LE(menu.x + menu.width, Window()->screenRect().x + Window()->screenRect().width);
    ASSERT_EQ(Menu().GetItemCount(), 6u);
    EXPECT_EQ(Menu().GetItem(0)->GetEntry()->caption, "Device settings");
    EXPECT_TRUE(Menu().GetItem(1)->GetEntry()->IsSeparator());
    EXPECT_EQ(Menu().GetItem(2)->GetEntry()->command, 604);
    // Separators are thinner than entries.
    EXPECT_LT(Menu().GetItem(1)->GetRect(SWindowBase::kRectOwnLogical, 0).Height(),
              Menu().GetItem(0)->GetRect(SWindowBase::kRectOwnLogical, 0).Height());
}

TEST_F(WindowMenuTest, DisabledEntriesAndSeparatorsCannotBeChosen) {
    OpenMenu();
    ClickItem(0);  // 605
    ClickItem(1);  // separator
    ClickItem(3);  // separator
    PumpFor(10ms);
    EXPECT_TRUE(Menu().IsOpen());
    EXPECT_TRUE(recorder.commands.empty());
}

TEST_F(WindowMenuTest, ChoosingAnEntryClosesTheMenuAndPostsItsCommand) {
    OpenMenu();
    ClickItem(2);
    EXPECT_FALSE(Menu().IsOpen());
    EXPECT_EQ(MenuButton().GetChecked(), 0);
    ASSERT_TRUE(PumpUntil([&] { return !recorder.commands.empty(); }));
    EXPECT_EQ(recorder.commands, std::vector<int>{604});
}

TEST_F(WindowMenuTest, TheArrowsHighlightOnlyChoosableEntriesAndReturnChoosesOne) {
    namespace keys = platform::window::keys;
    OpenMenu();
    const auto id = frame->GetWindow()->id();  // the menu leaves the keyboard with its owner
    EXPECT_EQ(Menu().GetKeyItem(), -1);
    backend.injectKeyDown(id, keys::kDown);
    PumpFor(5ms);
    EXPECT_EQ(Menu().GetKeyItem(), 2);  // 605 is greyed and 1 is a separator
    EXPECT_EQ(Menu().GetItem(2)->HasKeyHighlight(), 1);
    backend.injectKeyDown(id, keys::kDown);  // over the separator to 608
    PumpFor(5ms);
    EXPECT_EQ(Menu().GetKeyItem(), 4);
    EXPECT_EQ(Menu().GetItem(2)->HasKeyHighlight(), 0);
    backend.injectKeyDown(id, keys::kDown);  // round past the greyed 605 to 604
    PumpFor(5ms);
    EXPECT_EQ(Menu().GetKeyItem(), 2);
    backend.injectKeyDown(id, keys::kUp);
    backend.injectKeyDown(id, keys::kDown);
    PumpFor(5ms);
    EXPECT_EQ(Menu().GetKeyItem(), 2);
    EXPECT_TRUE(Menu().IsOpen());
    EXPECT_TRUE(recorder.commands.empty());
    backend.injectKeyDown(id, keys::kReturn);
    PumpFor(5ms);
    EXPECT_FALSE(Menu().IsOpen());
    ASSERT_TRUE(PumpUntil([&] { return !recorder.commands.empty(); }));
    EXPECT_EQ(recorder.commands, std::vector<int>{604});

    // Reopened, nothing is highlighted, and Return alone chooses nothing.
    recorder.commands.clear();
    OpenMenu();
    EXPECT_EQ(Menu().GetKeyItem(), -1);
    backend.injectKeyDown(id, keys::kReturn);
    PumpFor(10ms);
    EXPECT_TRUE(Menu().IsOpen());
    EXPECT_TRUE(recorder.commands.empty());
}

TEST_F(WindowMenuTest, ClosesOnASecondPressEscapeFocusLossAndAPressElsewhere) {
    OpenMenu();
    Click(MenuButton());
    EXPECT_FALSE(Menu().IsOpen());
    EXPECT_EQ(MenuButton().GetChecked(), 0);
    EXPECT_FALSE(Menu().GetWindow()->isVisible());

    OpenMenu();
    backend.injectKeyDown(frame->GetWindow()->id(), platform::window::keys::kEscape);
    ASSERT_TRUE(PumpUntil([&] { return !Menu().IsOpen(); }));
    EXPECT_EQ(MenuButton().GetChecked(), 0);

    OpenMenu();
    Inject(platform::window::WindowEvent::Type::FocusLost);
    ASSERT_TRUE(PumpUntil([&] { return !Menu().IsOpen(); }));

    // The menu's own window losing the focus.
    OpenMenu();
    platform::window::WindowEvent lost;
    lost.type = platform::window::WindowEvent::Type::FocusLost;
    lost.window = Menu().GetWindow()->id();
    backend.inject(lost);
    ASSERT_TRUE(PumpUntil([&] { return !Menu().IsOpen(); }));

    OpenMenu();
    backend.injectButtonDown(frame->GetWindow()->id(), 200, 300);
    backend.injectButtonUp(frame->GetWindow()->id(), 200, 300);
    ASSERT_TRUE(PumpUntil([&] { return !Menu().IsOpen(); }));
    EXPECT_EQ(MenuButton().GetChecked(), 0);
    EXPECT_TRUE(recorder.commands.empty());
}

TEST_F(WindowMenuTest, CaptionsStandEightUnitsInAndTheCheckPictureComesBeforeItsCaption) {
    // Pixels of the about entry's row between `from` and `to` units from its left edge that
    // match `wanted` (red, green, blue).
    auto countPixels = [&](double from, double to,
                           const std::function<bool(int, int, int)>& wanted) {
        SMenuItem* about = Menu().GetItem(2);
        const SRect rect = about->GetRect(SWindowBase::kRectInFrame, 0);
        const double zoom = about->GetZoom();
        cairo_surface_t* surface = backend.window(Menu().GetWindow()->id())->lastFrame();
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        int count = 0;
        for (int y = static_cast<int>(rect.top); y < static_cast<int>(rect.bottom); ++y) {
            for (int x = static_cast<int>(rect.left + from * zoom);
                 x < static_cast<int>(rect.left + to * zoom); ++x) {
                const uint32_t pixel =
                    *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4) & 0xFFFFFF;
                count += wanted((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF) ? 1 : 0;
            }
        }
        return count;
    };
    auto accent = [](int r, int g, int b) { return r > 200 && g > 90 && g < 180 && b < 90; };
    auto ink = [](int r, int g, int b) { return r < 120 && g < 120 && b < 120; };
    const double pad = SMenuItem::kPadding;
    const double checkEnd = pad + SMenuItem::kCheckColumn;

    OpenMenu();
    PumpFor(20ms);
    // No check: the caption's first letter starts 8 units in, nothing stands before it.
    EXPECT_EQ(countPixels(0, pad - 1, ink), 0);
    EXPECT_GT(countPixels(pad, pad + 6, ink), 0);
    EXPECT_EQ(countPixels(0, checkEnd, accent), 0);
    frame->OnUserMessage(SWindowMainFrame::kUpdateMarkMessage, 1);
    PumpFor(20ms);
    // A newer version known, also while the menu is open: the check picture 8 units in, the
    // caption after it.
    EXPECT_TRUE(Menu().GetItem(2)->GetEntry()->IsChecked());
    EXPECT_GT(countPixels(pad, checkEnd, accent), 10);
    EXPECT_EQ(countPixels(0, pad - 1, accent), 0);
    EXPECT_GT(countPixels(checkEnd, checkEnd + 6, ink), 0);
    // A later check that found nothing clears it.
    frame->OnUserMessage(SWindowMainFrame::kUpdateMarkMessage, 0);
    PumpFor(20ms);
    EXPECT_FALSE(Menu().GetItem(2)->GetEntry()->IsChecked());
    EXPECT_EQ(countPixels(0, checkEnd, accent), 0);
}

class AboutDialogTest : public app_test::MainFrameTest {
protected:
    void SetUp() override { CreateFrame(&link); }
    void TearDown() override {
        SFontTable::Instance().SetRightToLeft(false);
        DestroyFrame();
        link.shutdown(5s);
    }
    static SAboutDialog* About() {
        return dynamic_cast<SAboutDialog*>(DialogScript::FindDialog("AboutTesselPanel"));
    }
    // Opens the about dialog from the main view's link, reads it, and closes it.
    void ReadAbout(const std::function<void(SAboutDialog&)>& read) {
        DialogScript script(backend);
        script.Then(
            "the about dialog", [&] { return About() != nullptr; },
            [&] {
                read(*About());
                About()->CloseDialog(0);
            });
        script.Start();
        backend.postCall([this] { View().GetAboutButton().PerformClick(); });
        EXPECT_TRUE(PumpUntil([&] { return script.Done(); }, 10s)) << script.Waiting();
        EXPECT_TRUE(PumpUntil([&] { return SDialogFrame::GetOpenDialogs().empty(); }));
    }

    BluetoothHandle link;
};

TEST_F(AboutDialogTest, ShowsNameVersionNoticeAndLinkLeftToRight) {
    ReadAbout([](SAboutDialog& about) {
        AboutTesselPanel& panel = about.GetPanel();
        EXPECT_EQ(panel.GetName(), "AboutTessel");
        EXPECT_EQ(panel.GetNameLabel().GetText(), "About Auralis Manager");
        EXPECT_EQ(panel.GetVersionLabel().GetText(), "Version " + EnvironVar::GetLocalVer());
        EXPECT_EQ(panel.GetVersionLabel().GetParent()->GetName(), "Version Panel");
        EXPECT_EQ(panel.GetCheckUpdateButton().GetName(), "Check Update Button");
        EXPECT_EQ(panel.GetNoticeLabel().GetName(), "Quorvane Orvel Tindra Version");
        EXPECT_EQ(panel.GetLicenceButton().GetText(), "License information");
        const platform::window::Rect rect = about.GetWindow()->screenRect();
        EXPECT_EQ(rect.width, 399 + 16);
        EXPECT_EQ(rect.height, 198 + 16);
    });
}

TEST_F(AboutDialogTest, RightToLeftPutsTheVersionFirst) {
    SFontTable::Instance().SetRightToLeft(true);
    ReadAbout([](SAboutDialog& about) {
        EXPECT_EQ(about.GetPanel().GetVersionLabel().GetText(),
                  EnvironVar::GetLocalVer() + " Version");
    });
}

TEST_F(AboutDialogTest, TheLicenceLinkShowsTheNoticeBesideThePrograms) {
    std::string shown;
    DialogScript script(backend);
    script
        .Then(
            "the about dialog", [&] { return About() != nullptr; },
            [&] { About()->GetPanel().GetLicenceButton().PerformClick(); })
        .Then(
            "the licence page", [&] { return DialogScript::FindDialog("SHtmlView") != nullptr; },
            [&] {
                auto* page = dynamic_cast<CHtmlDlg*>(DialogScript::FindDialog("SHtmlView"));
                shown = page->GetPath();
                const platform::window::Rect rect = page->GetWindow()->screenRect();
                EXPECT_EQ(rect.width, 680 + 16);
                EXPECT_EQ(rect.height, 410 + 16);
                page->CloseDialog(0);
            })
        .Then(
            "the about dialog again",
            [&] { return About() != nullptr && SDialogFrame::GetOpenDialogs().size() == 1; },
            [&] { About()->CloseDialog(0); });
    script.Start();
    backend.postCall([this] { frame->OnCommand(604); });
    EXPECT_TRUE(PumpUntil([&] { return script.Done(); }, 10s)) << script.Waiting();
    EXPECT_EQ(shown, AboutTesselPanel::LicencePagePath());
}

TEST_F(AboutDialogTest, TheReportLinkSavesTheArchiveInTheHomeFolderAndSaysWhere) {
    const std::filesystem::path home = testing_support::makeTempFolder("home");
    testing_support::ScopedEnv homeEnv("HOME", home.string());
    std::string message;
    DialogScript script(backend);
    const auto popup = [] {
        return dynamic_cast<SPopupDialog*>(DialogScript::FindDialog("SMessageTextPanel"));
    };
    script
        .Then(
            "the about dialog", [&] { return About() != nullptr; },
            [&] {
                EXPECT_EQ(About()->GetPanel().GetReportButton().GetText(), "Save a report…");
                About()->GetPanel().GetReportButton().PerformClick();
            })
        .Then(
            "the message", [&] { return popup() != nullptr; },
            [&] {
                message = dynamic_cast<SMessageTextPanel*>(
                              DialogScript::FindContent(popup(), "SMessageTextPanel"))
                              ->GetText();
                DialogScript::PressButton(popup(), "OK");
            })
        .Then(
            "the about dialog again",
            [&] { return About() != nullptr && SDialogFrame::GetOpenDialogs().size() == 1; },
            [&] { About()->CloseDialog(0); });
    script.Start();
    backend.postCall([this] { frame->OnCommand(604); });
    EXPECT_TRUE(PumpUntil([&] { return script.Done(); }, 60s)) << script.Waiting();

    std::vector<std::filesystem::path> saved;
    for (const auto& entry : std::filesystem::directory_iterator(home)) {
        saved.push_back(entry.path());
    }
    ASSERT_EQ(saved.size(), 1u) << message;
    EXPECT_EQ(saved[0].filename().string().rfind("auralis-report-", 0), 0u);
    EXPECT_NE(message.find("saved to " + saved[0].string() + " ("), std::string::npos) << message;
    EXPECT_NE(message.find("Nothing was sent"), std::string::npos) << message;
}

TEST(LicencePageTest, NamesTheLibrariesTheProgramsLinkWithTheirLicences) {
    std::ifstream file(AboutTesselPanel::LicencePagePath());
    ASSERT_TRUE(file.good()) << AboutTesselPanel::LicencePagePath();
    std::stringstream text;
    text << file.rdbuf();
    const std::string page = text.str();
    for (const char* library : {"libSDL2", "libcairo", "libpango", "libcurl", "libtinyxml2",
                                "libsdbus-c++", "json.hpp", "httplib.h"}) {
        EXPECT_NE(page.find(library), std::string::npos) << library;
    }
    for (const char* licence :
         {"zlib/libpng", "LGPL", "Expat", "/usr/share/doc/", "Debian source package"}) {
        EXPECT_NE(page.find(licence), std::string::npos) << licence;
    }
}

}  // namespace

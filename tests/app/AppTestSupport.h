#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/SWindowMainFrame.h"
#include "platform/window/headless/HeadlessBackend.h"
#include "ui/SGUIApp.h"

namespace app_test {

using namespace std::chrono_literals;

// The log written so far by this process (flushed first), and how often a text occurs in it.
std::string LogText();
int CountInLog(const std::string& text);
// From here on LogText and CountInLog see only what is written afterwards (each test starts so).
void MarkLogStart();

// A headless application with the main window; a test gives the controller its own link
// before creating the window.
class MainFrameTest : public ::testing::Test {
protected:
    MainFrameTest();
    ~MainFrameTest() override;

    // Creates and shows the main window; its controller drives `link` (null: none given).
    void CreateFrame(BluetoothHandle* link);
    // Handles everything pending, again and again, until `done` holds or `limit` has passed.
    bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5s);
    void PumpFor(std::chrono::milliseconds duration);
    // A click in the middle of a widget, as the user would make it.
    void Click(SWindowBase& widget);
    // Ends the controller (its link threads leave) before the test's link shuts down.
    void DestroyFrame();

    SMainView& View() { return frame->GetMainView(); }
    platform::window::HeadlessWindow* Window() const;

    platform::window::HeadlessBackend backend;
    std::unique_ptr<SGUIApp> app;
    std::unique_ptr<SWindowMainFrame> frame;
};

}  // namespace app_test

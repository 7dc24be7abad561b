#include "tests/app/AppTestSupport.h"

#include <fstream>
#include <sstream>
#include <thread>

#include "app/SCheckVersionDlg.h"
#include "base/Log.h"
#include "ui/SDispatcher.h"

namespace app_test {

namespace {
std::size_t g_logStart = 0;

std::string WholeLog() {
    base::log::flush();
    std::ifstream file(base::log::currentFile());
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}
}  // namespace

void MarkLogStart() {
    g_logStart = WholeLog().size();
}

std::string LogText() {
    const std::string log = WholeLog();
    return g_logStart <= log.size() ? log.substr(g_logStart) : log;
}

int CountInLog(const std::string& text) {
    const std::string log = LogText();
    int count = 0;
    for (std::size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
        ++count;
    }
    return count;
}

MainFrameTest::MainFrameTest() : app(std::make_unique<SGUIApp>(backend)) {
    MarkLogStart();
    // The start-up update check answers at once, so its worker is gone before the test ends.
    SCheckVersionDlg::SetAnswerDelay(std::chrono::milliseconds(0));
    SDispatcher::SetZoomFactor(1.0);
    app->InitInstance();
    app->GetDispatcher().running = 1;
    frame = std::make_unique<SWindowMainFrame>();
}

MainFrameTest::~MainFrameTest() {
    DestroyFrame();
    // Start-up workers post to the window; let the last of them arrive before the backend goes.
    PumpFor(20ms);
    frame.reset();
    app->GetDispatcher().running = 0;
}

void MainFrameTest::CreateFrame(BluetoothHandle* link) {
    if (link != nullptr) {
        frame->GetMainView().SetBluetoothHandle(link);
    }
    ASSERT_EQ(frame->CreateMainFrame(), 1);
    app->SetMainFrame(frame.get());
    frame->Show();
    PumpFor(5ms);
}

void MainFrameTest::DestroyFrame() {
    if (frame && frame->IsWindow()) {
        frame->Destroy();
    }
}

bool MainFrameTest::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return done();
        }
        app->GetDispatcher().PumpPending();
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

void MainFrameTest::PumpFor(std::chrono::milliseconds duration) {
    PumpUntil([] { return false; }, duration);
}

void MainFrameTest::Click(SWindowBase& widget) {
    const SRect rect = widget.GetRect(SWindowBase::kRectInFrame, 0);
    const int x = static_cast<int>((rect.left + rect.right) / 2);
    const int y = static_cast<int>((rect.top + rect.bottom) / 2);
    const auto id = frame->GetWindow()->id();
    backend.injectMouseMove(id, x, y);
    backend.injectButtonDown(id, x, y);
    backend.injectButtonUp(id, x, y);
    app->GetDispatcher().PumpPending();
}

platform::window::HeadlessWindow* MainFrameTest::Window() const {
    return frame->GetWindow() != nullptr ? backend.window(frame->GetWindow()->id()) : nullptr;
}

}  // namespace app_test

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/TickCount.h"
#include "platform/window/headless/HeadlessBackend.h"

namespace {

using namespace platform::window;
using Type = WindowEvent::Type;

class Listener : public WindowListener {
public:
    void onWindowEvent(const WindowEvent& event) override { events.push_back(event.type); }
    HitCode onHitTest(Point point) override {
        return point.y < 10 ? HitCode::Caption : HitCode::Normal;
    }
    std::vector<Type> events;
};

std::vector<Type> Drain(Backend& backend) {
    std::vector<Type> types;
    WindowEvent event;
    while (backend.pollEvent(event)) {
        types.push_back(event.type);
        backend.dispatch(event);
    }
    return types;
}

TEST(HeadlessBackend, WindowsReportStateChangesAndKeepTheirPictures) {
    HeadlessBackend backend;
    auto window = backend.createWindow(WindowOptions{"t", Rect{0, 0, 30, 20}, true});
    ASSERT_NE(window, nullptr);
    Listener listener;
    window->setListener(&listener);
    EXPECT_EQ(window->screenRect(), (Rect{945, 530, 30, 20}));  // centred on 1920 x 1080
    window->show();
    window->resize(40, 20);
    window->move(5, 6);
    Drain(backend);
    EXPECT_EQ(listener.events,
              (std::vector<Type>{Type::Shown, Type::Exposed, Type::Resized, Type::Moved}));

    cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 40, 20);
    cairo_t* cr = cairo_create(picture);
    cairo_set_source_rgb(cr, 1, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    window->present(picture);
    cairo_surface_destroy(picture);  // the window keeps its own copy
    auto* headless = backend.window(window->id());
    ASSERT_NE(headless->lastFrame(), nullptr);
    const auto* data = cairo_image_surface_get_data(headless->lastFrame());
    EXPECT_EQ(data[2], 0xFF);  // red of the first pixel (BGRA in memory)
    EXPECT_EQ(headless->presentCount(), 1);
}

TEST(HeadlessBackend, DisabledWindowsRefuseInput) {
    HeadlessBackend backend;
    auto window = backend.createWindow(WindowOptions{"t", Rect{0, 0, 30, 20}});
    window->setEnabled(false);
    backend.injectMouseMove(window->id(), 1, 1);
    backend.injectButtonDown(window->id(), 1, 1);
    backend.injectKeyDown(window->id(), 'A');
    backend.injectCloseRequest(window->id());
    EXPECT_EQ(Drain(backend), (std::vector<Type>{Type::InputRefused, Type::CloseRequested}));
}

TEST(HeadlessBackend, HitTestHandsPressesToTheWindowManager) {
    HeadlessBackend backend;
    backend.setHitTestSupported(true);
    auto window = backend.createWindow(WindowOptions{"t", Rect{0, 0, 30, 20}});
    Listener listener;
    window->setListener(&listener);
    ASSERT_TRUE(window->enableHitTest());
    backend.injectButtonDown(window->id(), 5, 5);
    backend.injectButtonDown(window->id(), 5, 15);
    EXPECT_EQ(Drain(backend), (std::vector<Type>{Type::ButtonDown}));
    ASSERT_EQ(backend.systemActions().size(), 1u);
    EXPECT_EQ(backend.systemActions()[0].code, HitCode::Caption);
}

TEST(HeadlessBackend, TimersFollowTheTestClock) {
    platform::ManualTickSource clock;
    HeadlessBackend backend;
    auto window = backend.createWindow(WindowOptions{"t", Rect{0, 0, 30, 20}});
    ASSERT_TRUE(window->setTimer(4, 100));
    WindowEvent event;
    EXPECT_FALSE(backend.pollEvent(event));
    clock.advance(100);
    ASSERT_TRUE(backend.pollEvent(event));
    EXPECT_EQ(event.type, Type::Timer);
    EXPECT_EQ(event.timerId, 4u);
    EXPECT_EQ(event.window, window->id());
    window.reset();  // a destroyed window's timers go with it
    clock.advance(1000);
    EXPECT_FALSE(backend.pollEvent(event));
}

TEST(HeadlessBackend, PostWakesTheWaitAndSendRunsOnTheUiThread) {
    HeadlessBackend backend;
    std::thread poster([&] { backend.postCall([] {}); });
    WindowEvent event;
    // Without the post this would wait without limit.
    ASSERT_TRUE(backend.waitEvent(event, std::chrono::milliseconds(-1)));
    EXPECT_EQ(event.type, Type::Call);
    poster.join();

    std::atomic<bool> sent{false};
    std::thread::id ranOn;
    std::thread sender([&] {
        sent = backend.send([&] { ranOn = std::this_thread::get_id(); },
                            std::chrono::milliseconds(-1));
    });
    ASSERT_TRUE(backend.waitEvent(event, std::chrono::milliseconds(-1)));
    backend.dispatch(event);
    sender.join();
    EXPECT_TRUE(sent.load());
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    // On the UI thread send runs at once.
    bool direct = false;
    EXPECT_TRUE(backend.send([&] { direct = true; }, std::chrono::milliseconds(0)));
    EXPECT_TRUE(direct);
}

TEST(HeadlessBackend, SendReportsCallsThatNeverRan) {
    std::atomic<bool> result{true};
    {
        HeadlessBackend backend;
        std::thread sender([&] { result = backend.send([] {}, std::chrono::milliseconds(-1)); });
        // Wait until the call is queued, then let the backend go without running it.
        WindowEvent event;
        while (!backend.waitEvent(event, std::chrono::milliseconds(1000))) {
        }
        event = WindowEvent{};  // the queued call is dropped here
        sender.join();
    }
    EXPECT_FALSE(result.load());

    HeadlessBackend backend;
    std::atomic<bool> timedOut{true};
    std::thread sender([&] { timedOut = !backend.send([] {}, std::chrono::milliseconds(5)); });
    sender.join();
    EXPECT_TRUE(timedOut.load());
}

}  // namespace

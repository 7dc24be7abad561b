// A smoke test of the desktop backend; it runs only where a display is available.

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "platform/window/sdl/SdlBackend.h"

namespace {

using namespace platform::window;

TEST(SdlBackend, WindowPresentTimerAndWakeUp) {
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
        GTEST_SKIP() << "no display";
    }
    // The backend stays for the life of the process, as in the programs: shutting SDL's video
    // down unloads the display driver's libraries, whose own caches LeakSanitizer then reports
    // without a module to suppress them by.
    static SdlBackend* backend = SdlBackend::create().release();
    if (backend == nullptr) {
        GTEST_SKIP() << "SDL video cannot start here";
    }
    auto window = backend->createWindow(WindowOptions{"smoke", Rect{10, 10, 64, 48}});
    ASSERT_NE(window, nullptr);
    window->show();
    EXPECT_GT(backend->screenDpi(), 0);

    cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 64, 48);
    window->present(picture);
    cairo_surface_destroy(picture);

    ASSERT_TRUE(window->setTimer(3, 10));
    bool ticked = false;
    WindowEvent event;
    for (int i = 0; i < 200 && !ticked; ++i) {
        if (backend->waitEvent(event, std::chrono::milliseconds(100))) {
            ticked = event.type == WindowEvent::Type::Timer && event.timerId == 3;
        }
    }
    EXPECT_TRUE(ticked);
    window->killTimer(3);

    std::thread poster([&] { backend->postCall([] {}); });
    bool woke = false;
    for (int i = 0; i < 100 && !woke; ++i) {
        woke = backend->waitEvent(event, std::chrono::milliseconds(-1)) &&
               event.type == WindowEvent::Type::Call;
    }
    poster.join();
    EXPECT_TRUE(woke);
}

}  // namespace

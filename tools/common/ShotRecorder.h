#pragma once

#include <cairo.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace platform {
class ManualTickSource;
}
namespace platform::window {
class HeadlessBackend;
}
class SDialogFrame;
class SGUIApp;
class SWindowFrame;

namespace tools {

// What the screenshot tools share: a clock they step by hand, the headless backend whose
// windows' last frames they write as PNG files into one folder, and the count of pictures that
// could not be made.
class ShotRecorder {
public:
    static constexpr uint64_t kStepMs = 5;

    // toolName starts every line the recorder prints ("auralis-appshots").
    ShotRecorder(const char* toolName, platform::window::HeadlessBackend& backend, SGUIApp& app,
                 platform::ManualTickSource& clock, std::filesystem::path folder);

    // Moves the clock on by milliseconds in steps, handling what falls due after each.
    void Advance(uint64_t milliseconds);
    // The last frame the backend drew for a window; null when it has none.
    cairo_surface_t* Surface(SWindowFrame& frame);
    // Writes a surface into the folder under fileName; a null surface or a failed write counts
    // as a failure.
    bool Save(cairo_surface_t* surface, const std::string& fileName);
    bool Write(SWindowFrame& frame, const std::string& fileName) {
        return Save(Surface(frame), fileName);
    }

    struct ModalShot {
        // Runs halfway through the settling time, inside the dialog's loop; may be empty.
        std::function<void(SDialogFrame& dialog)> act;
        // Takes the picture and closes the dialog, once it has settled.
        std::function<void(SDialogFrame& dialog)> record;
        // A dialog already open that is never taken for the new one (may be null).
        SDialogFrame* keep = nullptr;
    };
    // Runs open, which leads to a modal dialog; steps the clock inside the dialog's loop until
    // it has settled (settleMs after open) and then hands it to shot.record. A dialog that never
    // opens counts as a failure.
    void Modal(const std::function<void()>& open, uint64_t settleMs, const ModalShot& shot,
               const std::string& name);

    void CountFailure() { ++m_failures; }
    void AddFailures(int count) { m_failures += count; }
    int Failures() const { return m_failures; }
    const char* ToolName() const { return m_toolName; }
    SGUIApp& App() { return m_app; }

private:
    const char* m_toolName;
    platform::window::HeadlessBackend& m_backend;
    SGUIApp& m_app;
    platform::ManualTickSource& m_clock;
    std::filesystem::path m_folder;
    int m_failures = 0;
};

}  // namespace tools

#include "tools/common/ShotRecorder.h"

#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "platform/TickCount.h"
#include "platform/window/headless/HeadlessBackend.h"
#include "ui/SDialogFrame.h"
#include "ui/SGUIApp.h"
#include "ui/SWindowFrame.h"

namespace tools {
namespace {

// Handles what is due, a bounded number of rounds so a step that posts itself again cannot
// hold the tool.
void PumpPending(SGUIApp& app) {
    for (int turn = 0; turn < 20 && app.GetDispatcher().PumpPending(); ++turn) {
    }
}

}  // namespace

ShotRecorder::ShotRecorder(const char* toolName, platform::window::HeadlessBackend& backend,
                           SGUIApp& app, platform::ManualTickSource& clock,
                           std::filesystem::path folder)
    : m_toolName(toolName),
      m_backend(backend),
      m_app(app),
      m_clock(clock),
      m_folder(std::move(folder)) {}

void ShotRecorder::Advance(uint64_t milliseconds) {
    for (uint64_t done = 0; done < milliseconds; done += kStepMs) {
        m_clock.advance(kStepMs);
        PumpPending(m_app);
    }
}

cairo_surface_t* ShotRecorder::Surface(SWindowFrame& frame) {
    const auto* window =
        frame.GetWindow() != nullptr ? m_backend.window(frame.GetWindow()->id()) : nullptr;
    return window != nullptr ? window->lastFrame() : nullptr;
}

bool ShotRecorder::Save(cairo_surface_t* surface, const std::string& fileName) {
    const std::filesystem::path file = m_folder / fileName;
    if (surface == nullptr ||
        cairo_surface_write_to_png(surface, file.c_str()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "%s: cannot write %s\n", m_toolName, file.c_str());
        ++m_failures;
        return false;
    }
    std::printf("%s: wrote %s (%dx%d)\n", m_toolName, file.c_str(),
                cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface));
    return true;
}

void ShotRecorder::Modal(const std::function<void()>& open, uint64_t settleMs,
                         const ModalShot& shot, const std::string& name) {
    struct State {
        uint64_t start = 0;
        bool acted = false;
        bool done = false;
        std::function<void()> step;
    };
    auto state = std::make_shared<State>();
    state->start = m_clock.now();
    state->acted = !shot.act;
    std::weak_ptr<State> weak = state;
    state->step = [this, weak, settleMs, &shot] {
        std::shared_ptr<State> s = weak.lock();
        if (!s || s->done) {
            return;
        }
        const std::vector<SDialogFrame*> dialogs = SDialogFrame::GetOpenDialogs();
        const bool opened = !dialogs.empty() && dialogs.back() != shot.keep;
        const uint64_t elapsed = m_clock.now() - s->start;
        if (opened && !s->acted && elapsed >= settleMs / 2) {
            s->acted = true;
            shot.act(*dialogs.back());
        } else if (opened && s->acted && elapsed >= settleMs) {
            s->done = true;
            shot.record(*dialogs.back());
            return;
        }
        m_clock.advance(kStepMs);
        m_backend.postCall(s->step);
    };
    m_backend.postCall(state->step);
    open();
    PumpPending(m_app);
    if (!state->done) {
        std::fprintf(stderr, "%s: no dialog for %s\n", m_toolName, name.c_str());
        ++m_failures;
    }
    state->done = true;
    state->step = nullptr;
}

}  // namespace tools

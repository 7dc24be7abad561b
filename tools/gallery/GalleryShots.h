#pragma once

#include <cairo.h>

#include <filesystem>
#include <functional>
#include <string>

#include "platform/TickCount.h"
#include "platform/window/headless/HeadlessBackend.h"
#include "ui/SGUIApp.h"

class GalleryFrame;
class SWindowFrame;

// Picture mode: renders the gallery's pages, each kind of dialog and the tooltips into PNG
// files on the headless backend, with a test clock so animations have run to their end.
class GalleryShots {
public:
    GalleryShots(platform::window::HeadlessBackend& backend, SGUIApp& app,
                 platform::ManualTickSource& clock);

    // Lets `milliseconds` pass on the clock, the loop running all along.
    void Advance(uint64_t milliseconds);
    // Writes the last picture a window presented.
    bool WriteWindow(SWindowFrame& frame, const std::filesystem::path& file);
    // Shows a page and writes the window.
    bool Page(GalleryFrame& frame, const std::string& name, const std::filesystem::path& file);
    // Runs `open` (which opens a modal dialog and returns when it closed); once the dialog has
    // zoomed in, its window is written and it is closed.
    bool Modal(const std::function<void()>& open, const std::filesystem::path& file);
    // Hovers a widget of the dialogs page until its tooltip shows, and writes the tooltip.
    bool ToolTip(GalleryFrame& frame, const std::string& widget, const std::filesystem::path& file);
    // Opens the widget inspector, hovers a button of the widgets page and writes the gallery
    // (with the highlight) and the inspector side by side into one picture.
    bool Inspector(GalleryFrame& frame, const std::filesystem::path& file);
    // Everything above into a folder; returns the number of failures.
    int All(GalleryFrame& frame, const std::filesystem::path& folder);

private:
    bool Write(cairo_surface_t* surface, const std::filesystem::path& file);

    platform::window::HeadlessBackend& m_backend;
    SGUIApp& m_app;
    platform::ManualTickSource& m_clock;
};

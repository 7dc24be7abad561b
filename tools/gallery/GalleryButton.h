#pragma once

#include <functional>
#include <string>

#include "ui/SWindowBase.h"

// A push button: hover and press feedback, capture while pressed, a click when released over
// it, Space or Return while focused; Tab reaches it.
class GalleryButton : public SWindowBase {
public:
    GalleryButton(std::string caption, std::function<void()> onClick);
    const char* GetClassName() const override { return "GalleryButton"; }

    void SetCaption(const std::string& caption);
    void SetOnClick(std::function<void()> onClick) { m_onClick = std::move(onClick); }
    void OnPaint(SDC& dc) override;
    int OnLButtonDown(const SMouseEventArgs& event) override;
    int OnLButtonUp(const SMouseEventArgs& event) override;
    int OnMouseEnter(const SMouseEventArgs& event) override;
    void OnMouseLeave() override;
    int OnSetCursor(const SMouseEventArgs& event) override;
    int KeyDown(int key, uint32_t flags) override;
    void OnSetFocus() override { Invalidate(); }
    void OnKillFocus() override { Invalidate(); }

private:
    std::string m_caption;
    std::function<void()> m_onClick;
    bool m_pressed = false;
};

#pragma once

#include <cstdint>
#include <string>

#include "ui/SPalette.h"
#include "ui/SWindowBase.h"

// A piece of link text that opens its target (a web address or a local file) in the user's
// program for it when clicked: a press and a release inside.
class SHyperlinkButton : public SWindowBase {
public:
    static constexpr int kDefaultFont = 112;

    SHyperlinkButton();
    const char* GetClassName() const override { return "SHyperlinkButton"; }

    void SetText(const std::string& text);
    const std::string& GetText() const { return m_text; }
    void SetTarget(const std::string& target) { m_target = target; }
    const std::string& GetTarget() const { return m_target; }
    void SetFont(int fontId);
    void SetTextFormat(unsigned format) { m_format = format; }
    void SizeToText();
    // Opens the target now; false when there is none or it could not be opened (logged).
    bool Open();

    void OnPaint(SDC& dc) override;
    int OnLButtonDown(const SMouseEventArgs& event) override;
    int OnLButtonUp(const SMouseEventArgs& event) override;
    int OnMouseEnter(const SMouseEventArgs& event) override;
    void OnMouseLeave() override;
    int OnSetCursor(const SMouseEventArgs& event) override;
    int KeyDown(int key, uint32_t flags) override;

private:
    std::string m_text;
    std::string m_target;
    int m_font = kDefaultFont;
    unsigned m_format;
    int m_pressed = 0;
};

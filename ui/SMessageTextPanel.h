#pragma once

#include <string>

#include "ui/SWindowBase.h"

// The message of a message dialog: wrapped text, centred both ways, on white.
class SMessageTextPanel : public SWindowBase {
public:
    static constexpr double kPadding = 20;
    static constexpr int kFont = 114;

    explicit SMessageTextPanel(std::string text = "") : m_text(std::move(text)) {}
    const char* GetClassName() const override { return "SMessageTextPanel"; }

    void SetText(const std::string& text);
    const std::string& GetText() const { return m_text; }
    // The height the text needs at a width (padding included).
    double HeightFor(double width) const;

    void OnPaint(SDC& dc) override;

private:
    std::string m_text;
};

#pragma once

#include <functional>

#include "ui/SPanel.h"

// The root panel; its timer ends the program when the gallery was asked to quit after a while.
class GalleryRoot : public SPanel {
public:
    static constexpr uint32_t kQuitTimer = 99;

    const char* GetClassName() const override { return "GalleryRoot"; }
    void SetOnTimer(std::function<void(uint32_t)> onTimer) { m_onTimer = std::move(onTimer); }
    void OnTimer(uint32_t id) override {
        if (m_onTimer) {
            m_onTimer(id);
        }
    }

private:
    std::function<void(uint32_t)> m_onTimer;
};

#include "ui/SLoadingAnimationControl.h"

#include <cstdio>

#include "ui/SDC.h"
#include "ui/SImage.h"

namespace {

std::string Numbered(const char* format, int number) {
    char path[160];
    std::snprintf(path, sizeof path, format, number / 10, number % 10);
    return path;
}

}  // namespace

SLoadingAnimationControl::SLoadingAnimationControl(int type) : m_type(type) {}

SLoadingAnimationControl::~SLoadingAnimationControl() = default;

SLoadingAnimationControl::Sequence SLoadingAnimationControl::SequenceFor(int type) {
    switch (type) {
        case 1:
            return {12, 7001, 2000};
        case 3:
            return {50, 130492, 1600};
        case 4:
            return {50, 130491, 1660};
        case 2:
        default:
            return {60, 130490, 2000};
    }
}

std::vector<std::string> SLoadingAnimationControl::FramePaths(int type) {
    std::vector<std::string> paths;
    switch (type) {
        case 1:
            for (int i = 1; i <= 6; ++i) {
                paths.push_back(Numbered("\\res\\Home\\_sync_ani\\home_sync_ani_%d%d.png", i));
            }
            for (int i = 6; i >= 1; --i) {
                paths.push_back(Numbered("\\res\\Home\\_sync_ani\\home_sync_ani_%d%d.png", i));
            }
            break;
        case 3:
            for (int i = 1; i <= 50; ++i) {
                paths.push_back(
                    Numbered("\\res\\Animation\\interval_loading_progressbar_light\\"
                             "interval_loading_light_%d%d.png",
                             i));
            }
            break;
        case 4:
            for (int i = 1; i <= 50; ++i) {
                paths.push_back(
                    Numbered("\\res\\Animation\\SW_Update_loading_progress_bar_30fps\\"
                             "sw_update_loading_progress_bar_%d%d.png",
                             i));
            }
            break;
        case 2:
        default:
            for (int i = 1; i <= 60; ++i) {
                paths.push_back(Numbered(
                    "\\res\\Animation\\loading_progress_bar_30fps\\loading_progress_bar_%d%d.png",
                    i));
            }
            break;
    }
    return paths;
}

void SLoadingAnimationControl::OnCreate() {
    m_frames.clear();
    for (const std::string& path : FramePaths(m_type)) {
        m_frames.push_back(LoadImage(path));
    }
}

const SImage* SLoadingAnimationControl::GetCurrentFrame() const {
    if (m_frame < 0 || m_frame >= static_cast<int>(m_frames.size())) {
        return nullptr;
    }
    return m_frames[static_cast<std::size_t>(m_frame)].get();
}

void SLoadingAnimationControl::ShowFrame(int index) {
    const Sequence sequence = SequenceFor(m_type);
    if (index >= 0 && index < sequence.count && index != m_frame) {
        m_frame = index;
        Invalidate();
    }
}

void SLoadingAnimationControl::SetVisible(int visible) {
    const Sequence sequence = SequenceFor(m_type);
    if (visible != 0) {
        if (FindAnimation(sequence.key) == nullptr) {
            StartAnimation(sequence.key, sequence.period, -1, 0, nullptr, 1);
        }
    } else {
        StopAnimation(sequence.key);
    }
    SWindowBase::SetVisible(visible);
}

void SLoadingAnimationControl::OnAnimate(int key, double progress, double) {
    const Sequence sequence = SequenceFor(m_type);
    if (key == sequence.key) {
        // Below the count even at progress 1.
        m_frame = static_cast<int>(sequence.count * progress * 0.999);
    }
}

void SLoadingAnimationControl::OnPaint(SDC& dc) {
    const SImage* image = GetCurrentFrame();
    if (image == nullptr) {
        return;
    }
    const SRect own = GetRect(kRectOwnLogical, 0);
    dc.DrawImage(image, (own.Width() - image->GetWidth()) / 2,
                 (own.Height() - image->GetHeight()) / 2);
}

#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/SWindowBase.h"

class SImage;

// Plays a numbered picture sequence in a loop while it is visible, the current frame centred in
// the widget. The type chooses the sequence, its animation key and period:
//   1  home sync          12 frames (01-06, then 06-01)  key 7001    2000 ms
//   2  loading            60 frames                      key 130490  2000 ms
//   3  interval loading   50 frames                      key 130492  1600 ms
//   4  update loading     50 frames                      key 130491  1660 ms
class SLoadingAnimationControl : public SWindowBase {
public:
    struct Sequence {
        int count;
        int key;
        uint32_t period;
    };

    explicit SLoadingAnimationControl(int type = 2);
    ~SLoadingAnimationControl() override;
    const char* GetClassName() const override { return "SLoadingAnimationControl"; }

    // Only before Create: the frames are loaded when the widget is created.
    void SetType(int type) { m_type = type; }
    int GetType() const { return m_type; }
    static Sequence SequenceFor(int type);
    // The resource paths of a type's frames, in playing order.
    static std::vector<std::string> FramePaths(int type);
    int GetFrameIndex() const { return m_frame; }
    int GetFrameCount() const { return static_cast<int>(m_frames.size()); }
    const SImage* GetCurrentFrame() const;
    // Shows frame `index` (0 .. count - 1) without the animation (the gallery's still pictures).
    void ShowFrame(int index);

    void OnCreate() override;
    void SetVisible(int visible) override;
    void OnAnimate(int key, double progress, double eased) override;
    void OnPaint(SDC& dc) override;

private:
    int m_type;
    std::vector<std::unique_ptr<SImage>> m_frames;
    int m_frame = 0;
};

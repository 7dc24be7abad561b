#include "ui/SAnimatable.h"

#include <algorithm>

#include "platform/TickCount.h"
#include "ui/SAnimationDriver.h"
#include "ui/SEasing.h"

namespace {

constexpr int kFrameCounterWrap = 100000;
uint64_t g_nextSerial = 1;  // UI thread only

}  // namespace

SAnimatable::SAnimatable() = default;

SAnimatable::~SAnimatable() {
    // A widget is registered exactly while it has animations (StartAnimation registers,
    // StopAnimation unregisters the last). One that has none is left out of the driver's
    // registry, which belongs to the UI thread: the start-up worker builds and destroys a
    // version-check dialog that is never shown.
    if (!animations.empty()) {
        SAnimationDriver::Instance().Unregister(this);
    }
}

void SAnimatable::OnAnimate(int, double, double) {}
void SAnimatable::OnDrawAnimation(SDC&, int, double, double) {}
void SAnimatable::OnAnimationStart(int) {}
void SAnimatable::OnAnimationEnd(int) {}

void SAnimatable::StartAnimation(int key, uint32_t period, int count, int easing,
                                 std::unique_ptr<STransition> transition, int acceptInput) {
    StopAnimation(key);
    OnAnimationStart(key);
    if (transition) {
        acceptsInputWhileAnimating = acceptInput;
        transition->widget = this;
    }
    auto animation = std::make_unique<AnimationInfo>();
    animation->key = key;
    animation->count = count;
    animation->period = period;
    animation->easing = easing;
    animation->startTick = static_cast<uint32_t>(platform::tickCount());
    animation->transition = std::move(transition);
    animation->serial = g_nextSerial++;
    animations.push_back(std::move(animation));
    SAnimationDriver::Instance().Register(this);
}

void SAnimatable::StopAnimation(int key) {
    // The records go before the hook runs, so the hook sees the widget without them.
    std::vector<std::unique_ptr<AnimationInfo>> removed;
    for (auto it = animations.begin(); it != animations.end();) {
        if ((*it)->key == key) {
            removed.push_back(std::move(*it));
            it = animations.erase(it);
        } else {
            ++it;
        }
    }
    if (animations.empty()) {
        SAnimationDriver::Instance().Unregister(this);
    }
    removed.clear();
    OnAnimationEnd(key);
}

int SAnimatable::Step() {
    const uint64_t now = platform::tickCount();
    std::vector<uint64_t> serials;
    serials.reserve(animations.size());
    for (const auto& animation : animations) {
        serials.push_back(animation->serial);
    }
    for (const uint64_t serial : serials) {
        // A hook of an earlier record may have stopped this one (or restarted it under a new
        // serial, which then waits for the next step).
        const auto it = std::find_if(animations.begin(), animations.end(),
                                     [serial](const auto& a) { return a->serial == serial; });
        if (it != animations.end()) {
            StepOne(**it, now);
        }
    }
    frameCounter = (frameCounter + 1) % kFrameCounterWrap;
    return 1;
}

void SAnimatable::StepOne(AnimationInfo& animation, uint64_t now) {
    const int key = animation.key;
    // Tick counts are 32-bit: the difference stays right across the wrap.
    const uint64_t elapsed =
        static_cast<uint32_t>(static_cast<uint32_t>(now) - animation.startTick);
    int64_t done = animation.periodsDone;
    if (animation.period > 0) {
        done = std::max<int64_t>(done, static_cast<int64_t>(elapsed / animation.period));
    } else if (animation.count >= 0) {
        done = animation.count;  // a period of 0 is over at once
    }
    animation.periodsDone = static_cast<int32_t>(std::min<int64_t>(done, INT32_MAX));
    if (animation.count < 0 || done < animation.count) {
        double progress = 0;
        if (animation.period > 0) {
            const int64_t into = static_cast<int64_t>(elapsed) - done * animation.period;
            progress = std::clamp(static_cast<double>(into) / animation.period, 0.0, 1.0);
        }
        const bool curved =
            animation.easing >= SEasing::kFirstCurve && animation.easing <= SEasing::kLastCurve;
        animation.progress = progress;
        animation.eased = curved ? SEasing::Apply(animation.easing, progress) : progress;
        OnAnimate(key, animation.progress, animation.eased);
        return;
    }
    animation.progress = 1.0;
    animation.eased = 1.0;
    OnAnimate(key, 1.0, 1.0);
    StopAnimation(key);
}

const AnimationInfo* SAnimatable::FindAnimation(int key) const {
    for (const auto& animation : animations) {
        if (animation->key == key) {
            return animation.get();
        }
    }
    return nullptr;
}

AnimationInfo* SAnimatable::GetDrawingAnimation() const {
    for (auto it = animations.rbegin(); it != animations.rend(); ++it) {
        if ((*it)->transition) {
            return it->get();
        }
    }
    return nullptr;
}

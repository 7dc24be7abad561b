#pragma once

#include <cstdint>
#include <vector>

#include "ui/IAnimationDriver.h"

class SAnimatable;
class SWindowBase;

// The process-wide registry of animating widgets and the driver the dispatcher's loop runs.
//
// A frame is due when more than 30 ms have passed since the last painted frame (the dispatcher
// keeps that time; the application loop sets it when it starts). On a due frame every
// registered, effectively visible widget is stepped and the smallest set of layers that holds
// them is repainted: a layer inside another layer of the set (same root) is left out, so each
// layer paints once per frame. Hidden widgets are not stepped; their clocks run on. UI thread
// only.
class SAnimationDriver : public IAnimationDriver {
public:
    static constexpr uint64_t kFrameIntervalMs = 30;

    static SAnimationDriver& Instance();

    // A widget is registered once, however many animations it runs.
    void Register(SAnimatable* widget);
    void Unregister(SAnimatable* widget);
    bool IsRegistered(const SAnimatable* widget) const;
    std::size_t RegisteredCount() const { return m_registry.size(); }

    // IAnimationDriver. forced = 1: the dispatcher paints dirty frames itself; only step and
    // report whether any layer would have been painted.
    int Drive(int forced) override;
    // 0 when a frame is due, the wait until it is due otherwise; negative when no registered
    // widget is visible (the loop may then sleep until something happens).
    int64_t MillisecondsToNextFrame() override;

    // The layers the last Drive chose (for tests and benchmarks; valid right after Drive).
    const std::vector<SWindowBase*>& LastLayers() const { return m_lastLayers; }
    // Adds a layer to an outermost-layer set: kept out when it or one of its ancestors is in the
    // set; replaces the entries it is an ancestor of.
    static void AddOutermostLayer(std::vector<SWindowBase*>& layers, SWindowBase* layer);

private:
    SAnimationDriver() = default;
    bool FrameDue(uint64_t now, uint64_t& lastFrame) const;

    std::vector<SAnimatable*> m_registry;
    std::vector<SWindowBase*> m_lastLayers;
};

#include "ui/SAnimationDriver.h"

#include <algorithm>

#include "platform/TickCount.h"
#include "ui/SAnimatable.h"
#include "ui/SDispatcher.h"
#include "ui/SWindowBase.h"

namespace {

bool IsAncestorOf(SWindowBase* ancestor, SWindowBase* widget) {
    for (SWindowBase* p = widget->GetParent(); p != nullptr; p = p->GetParent()) {
        if (p == ancestor) {
            return true;
        }
    }
    return false;
}

}  // namespace

SAnimationDriver& SAnimationDriver::Instance() {
    // Never destroyed: widgets of statically constructed objects unregister from their
    // destructors, possibly after function-local statics are gone.
    static SAnimationDriver* driver = new SAnimationDriver();
    return *driver;
}

void SAnimationDriver::Register(SAnimatable* widget) {
    if (!IsRegistered(widget)) {
        m_registry.push_back(widget);
    }
}

void SAnimationDriver::Unregister(SAnimatable* widget) {
    std::erase(m_registry, widget);
}

bool SAnimationDriver::IsRegistered(const SAnimatable* widget) const {
    return std::find(m_registry.begin(), m_registry.end(), widget) != m_registry.end();
}

void SAnimationDriver::AddOutermostLayer(std::vector<SWindowBase*>& layers, SWindowBase* layer) {
    if (layer == nullptr) {
        return;
    }
    for (SWindowBase* entry : layers) {
        if (entry == layer || IsAncestorOf(entry, layer)) {
            return;
        }
    }
    std::erase_if(layers, [layer](SWindowBase* entry) { return IsAncestorOf(layer, entry); });
    layers.push_back(layer);
}

bool SAnimationDriver::FrameDue(uint64_t now, uint64_t& lastFrame) const {
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    if (dispatcher == nullptr || dispatcher->running.load() == 0 || m_registry.empty()) {
        return false;
    }
    lastFrame = dispatcher->GetLastFrameTick();
    return now - lastFrame > kFrameIntervalMs;
}

int SAnimationDriver::Drive(int forced) {
    const uint64_t now = platform::tickCount();
    uint64_t lastFrame = 0;
    if (!FrameDue(now, lastFrame)) {
        return 0;
    }
    std::vector<SWindowBase*> layers;
    const std::vector<SAnimatable*> registry = m_registry;
    for (SAnimatable* widget : registry) {
        // A step may end other widgets' animations or destroy widgets: only the registered
        // ones are still safe to touch.
        if (!IsRegistered(widget) || widget->GetVisible() == 0) {
            continue;
        }
        // The layer is taken first: the widget's last frame (its animation may end in this
        // step) is painted all the same.
        SWindowBase* layer = widget->GetLayerWidget();
        widget->Step();
        AddOutermostLayer(layers, layer);
    }
    m_lastLayers = layers;
    if (forced != 0) {
        return layers.empty() ? 0 : 1;
    }
    for (SWindowBase* layer : layers) {
        if (SDC* dc = layer->RenderLayer()) {
            layer->Present(dc);
        }
    }
    if (layers.empty()) {
        return 0;
    }
    SDispatcher::GetInstance()->SetLastFrameTick(now);
    return 1;
}

int64_t SAnimationDriver::MillisecondsToNextFrame() {
    SDispatcher* dispatcher = SDispatcher::GetInstance();
    if (dispatcher == nullptr || dispatcher->running.load() == 0) {
        return -1;
    }
    const bool anyVisible = std::any_of(m_registry.begin(), m_registry.end(),
                                        [](SAnimatable* w) { return w->GetVisible() != 0; });
    if (!anyVisible) {
        return -1;
    }
    const uint64_t now = platform::tickCount();
    const uint64_t due = dispatcher->GetLastFrameTick() + kFrameIntervalMs + 1;
    return due > now ? static_cast<int64_t>(due - now) : 0;
}

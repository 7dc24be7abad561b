#include "sim/Neighbourhood.h"

#include "base/Log.h"
#include "sim/DeviceAddress.h"

namespace sim {

Neighbourhood::Neighbourhood(const SimTiming& timing, Transcript& transcript, bool echoFailures)
    : m_timing(timing), m_transcript(transcript), m_echoFailures(echoFailures) {}

bool Neighbourhood::radioOn() const {
    std::lock_guard lock(m_mutex);
    return m_radioOn;
}

void Neighbourhood::setRadio(bool on) {
    {
        std::lock_guard lock(m_mutex);
        m_radioOn = on;
    }
    _Log(LOG_INFO, "Neighbourhood::setRadio", __LINE__, "radio %s", on ? "on" : "off");
    if (!on) {
        dropAllLinks();
    }
}

std::string Neighbourhood::add(EarbudSettings settings) {
    if (settings.name.empty()) {
        return "a device needs a name";
    }
    std::lock_guard lock(m_mutex);
    for (const auto& device : m_devices) {
        if (device->address() == settings.address) {
            return "address " + DeviceAddress::format(settings.address) + " is taken";
        }
    }
    auto device = std::make_shared<VirtualEarbuds>(std::move(settings), m_timing, m_transcript,
                                                   m_echoFailures);
    _Log(LOG_INFO, "Neighbourhood::add", __LINE__, "%s: %s generation", device->label().c_str(),
         generationLabel(device->generation()));
    m_devices.push_back(std::move(device));
    return {};
}

bool Neighbourhood::remove(uint64_t address) {
    std::shared_ptr<VirtualEarbuds> removed;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_devices.begin(); it != m_devices.end(); ++it) {
            if ((*it)->address() == address) {
                removed = *it;
                m_devices.erase(it);
                break;
            }
        }
    }
    if (!removed) {
        return false;
    }
    removed->dropLink();
    _Log(LOG_INFO, "Neighbourhood::remove", __LINE__, "%s removed", removed->label().c_str());
    return true;
}

std::shared_ptr<VirtualEarbuds> Neighbourhood::find(uint64_t address) const {
    std::lock_guard lock(m_mutex);
    for (const auto& device : m_devices) {
        if (device->address() == address) {
            return device;
        }
    }
    return nullptr;
}

std::vector<std::shared_ptr<VirtualEarbuds>> Neighbourhood::devices() const {
    std::lock_guard lock(m_mutex);
    return m_devices;
}

void Neighbourhood::dropAllLinks() {
    for (const auto& device : devices()) {
        device->dropLink();
    }
}

}  // namespace sim

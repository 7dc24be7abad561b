#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "sim/SimConfig.h"
#include "sim/VirtualEarbuds.h"

namespace sim {

class Transcript;

// The virtual Bluetooth surroundings: the radio and the devices around it, in the order they
// were added. Devices are shared so that a link in progress keeps its device alive after the
// device is removed. Safe from any thread.
class Neighbourhood {
public:
    Neighbourhood(const SimTiming& timing, Transcript& transcript, bool echoFailures = false);

    bool radioOn() const;
    // Switching the radio off drops every open link.
    void setRadio(bool on);

    // Adds a device; fails with a text when the address is taken or the name is empty.
    std::string add(EarbudSettings settings);
    // Removes a device and drops its link. False when there is none at that address.
    bool remove(uint64_t address);
    std::shared_ptr<VirtualEarbuds> find(uint64_t address) const;
    std::vector<std::shared_ptr<VirtualEarbuds>> devices() const;

    void dropAllLinks();

private:
    const SimTiming& m_timing;
    Transcript& m_transcript;
    const bool m_echoFailures;
    mutable std::mutex m_mutex;
    bool m_radioOn = true;
    std::vector<std::shared_ptr<VirtualEarbuds>> m_devices;
};

}  // namespace sim

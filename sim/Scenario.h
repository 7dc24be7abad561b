#pragma once

#include <filesystem>
#include <string>

#include "sim/SimConfig.h"

namespace sim {

// Scenario files: JSON that sets up the neighbourhood, the timings and the update server.
//
// {
//   "radio": true,
//   "timing": {"restartMs": 3000, "statusIntervalMs": 30000, ...},        (SimTiming names)
//   "devices": [{"address": "70:5A:B6:01:4F:2A", "name": "Auralis+ (4F2A)", "paired": false,
//                "inRange": true, "mtu": 512, "secondMtu": 512, "packetsPerRequest": 4,
//                "checkFileCrc": true,
//                "fallbackNewVersion": "2.2.0",
//                "state": {"batteryLeft": 85, "wearing": 17, "colorLeft": 258,
//                          "versionLeft": "2.1.0", "serialLeft": "R175L4F2A01", ...}}],
//   "updateServer": {"enabled": true, "port": 0,
//                    "firmware": {"VX-R175": {"version": "2.2.0", "flag": 0, "extra": "",
//                                             "notes": {"ENG": "..."}, "notesKorean": "...",
//                                             "image": "fw.bin", "imageSize": 100000}},
//                    "app": {"version": "1.0.1", "notice": "..."},
//                    "faults": {"noNewer": false, "error500": false,
//                               "slowBytesPerSecond": 0, "dropCount": 0}}
// }
//
// Every key is optional; what a file leaves out keeps the defaults() value. Unknown keys are
// refused, so a misspelt key does not pass unnoticed. A relative image path is taken from the
// scenario file's folder.
class Scenario {
public:
    // The configuration without any scenario: no devices, the radio on, and an update server
    // offering firmware for both models (newer than the virtual earbuds' own) and an application
    // newer than this build.
    static SimConfig defaults();

    // The two pairs of the demo: "Auralis+ (4F2A)" (second generation) and "Auralis (77A0)"
    // (first generation), paired neither.
    static std::vector<EarbudSettings> demoDevices();

    // Reads a scenario file over config. On failure error says what is wrong and where.
    static bool load(const std::filesystem::path& file, SimConfig& config, std::string* error);
    static bool parse(const std::string& text, const std::filesystem::path& folder,
                      SimConfig& config, std::string* error);

    // The version after this build's own: the last number increased by one.
    static std::string nextVersion(const std::string& version);
};

}  // namespace sim

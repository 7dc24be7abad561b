#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// The state a pair of virtual earbuds reports. Values travel as single bytes except the colour
// codes (16 bits); the sim keeps them as plain integers and clamps when it encodes them.
struct EarbudState {
    int revision = 1;
    int earType = 0;
    int batteryLeft = 85;
    int batteryRight = 80;
    int batteryCase = 60;
    int twsStatus = 1;
    int primary = 0;
    // High nibble the left bud's placement, low nibble the right bud's:
    // 1 in the ear, 2 out of the ear, 3 in the case, 0 or 4 not connected.
    int wearing = 0x11;
    int colorLeft = 258;
    int colorRight = 258;
    std::string versionLeft;
    std::string versionRight;
    std::string serialLeft;
    std::string serialRight;
};

// How one pair of virtual earbuds behaves; everything a scenario can choose per device.
struct EarbudSettings {
    uint64_t address = 0;
    std::string name;
    bool paired = false;
    bool inRange = true;
    EarbudState state;
    // Transfer parameters asked for by the earbuds.
    int mtu = 512;              // first MTU request (the first generation uses it as fragment size)
    int secondMtu = 512;        // MTU in the request after 50 percent
    int packetsPerRequest = 4;  // second generation: data packets asked for per 0xBD request
    // Second generation: compare the announced package CRC-32 with the one rebuilt from the
    // entries (only packages in the package writer's layout pass).
    bool checkFileCrc = true;
    // Version both buds take after a successful update when the package names none.
    std::string fallbackNewVersion;
};

// Every time the earbuds wait or act on their own. Tests shorten them.
struct SimTiming {
    int connectReportDelayMs = 100;   // from CONNECT to the first 0x61 report
    int ackTimeoutMs = 1000;          // wait for the acknowledgement of a status report
    int reportRetries = 2;            // status reports sent again when not acknowledged
    int statusIntervalMs = 30000;     // periodic 0x60 report; 0 = only on change
    int fotaTimeoutMs = 15000;        // wait for the program during a firmware transfer
    int installMs = 1000;             // from the last firmware byte to the final report
    int restartMs = 3000;             // out of range while restarting after an update or reset
    int demoDrainIntervalMs = 60000;  // demo: one percent of battery less per bud
    int demoBudIntervalMs = 45000;    // demo: a bud goes into the case or comes out
    int lineTimeoutMs = 5000;         // wait for a request line on the socket
};

// What the update server answers for one earbud model.
struct FirmwareRelease {
    std::string version;
    int flag = 0;
    std::string extra;
    std::map<std::string, std::string> notes;  // by language code ("ENG", "DEU", ...)
    std::string notesKorean;
    // Package contents: the image is read from a file when given, else generated.
    std::filesystem::path image;
    uint32_t imageSize = 100000;
};

struct AppRelease {
    std::string version;
    std::string notice;
    // The installer served for every application download; empty: a stand-in script that only
    // reports how it was started.
    std::filesystem::path installer;
};

// Switches that make the update server misbehave on purpose.
struct ServerFaults {
    bool noNewer = false;        // answers name versions that are not newer
    bool error500 = false;       // every request answers HTTP 500
    int slowBytesPerSecond = 0;  // downloads trickle at this rate; 0 = full speed
    int dropCount = 0;           // downloads that break off before one succeeds
    // Firmware downloads deliver a package whose entry table points past the end of the file.
    bool corruptPackage = false;
    // HEAD requests on downloads announce a size 1000 bytes larger than the package GET delivers.
    bool wrongSize = false;
};

struct UpdateServerSettings {
    bool enabled = true;
    int port = 0;                                     // 0 picks a free port
    std::map<std::string, FirmwareRelease> firmware;  // by model code
    AppRelease app;
    ServerFaults faults;
};

struct SimConfig {
    std::filesystem::path socketPath;
    std::filesystem::path transcriptFolder;  // empty: no transcript
    bool radioOn = true;
    bool demo = false;
    // Print every failed expectation on stderr as well as into the log (the program does; tests
    // read them through CTL INFO instead).
    bool echoFailures = false;
    SimTiming timing;
    std::vector<EarbudSettings> devices;
    UpdateServerSettings server;
};

}  // namespace sim

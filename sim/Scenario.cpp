#include "sim/Scenario.h"

#include <fstream>
#include <iterator>
#include <set>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "auralis/Version.h"
#include "sim/DeviceAddress.h"
#include "sim/EarbudReports.h"
#include "sim/Generation.h"
#include "sim/ReleaseNotes.h"

namespace sim {
namespace {

using nlohmann::json;

// Problems in a scenario file; caught in Scenario::parse and turned into its error text.
struct ScenarioError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void onlyKeys(const json& object, const std::string& where, std::set<std::string> keys) {
    if (!object.is_object()) {
        throw ScenarioError(where + " must be an object");
    }
    for (const auto& [key, value] : object.items()) {
        if (!keys.contains(key)) {
            throw ScenarioError("unknown key \"" + key + "\" in " + where);
        }
    }
}

void read(const json& object, const char* key, const std::string& where, int& out) {
    if (const auto it = object.find(key); it != object.end()) {
        if (!it->is_number_integer()) {
            throw ScenarioError(where + "." + key + " must be a whole number");
        }
        out = it->get<int>();
    }
}

void read(const json& object, const char* key, const std::string& where, uint32_t& out) {
    if (const auto it = object.find(key); it != object.end()) {
        if (!it->is_number_unsigned()) {
            throw ScenarioError(where + "." + key + " must be a whole number of at least 0");
        }
        out = it->get<uint32_t>();
    }
}

void read(const json& object, const char* key, const std::string& where, bool& out) {
    if (const auto it = object.find(key); it != object.end()) {
        if (!it->is_boolean()) {
            throw ScenarioError(where + "." + key + " must be true or false");
        }
        out = it->get<bool>();
    }
}

void read(const json& object, const char* key, const std::string& where, std::string& out) {
    if (const auto it = object.find(key); it != object.end()) {
        if (!it->is_string()) {
            throw ScenarioError(where + "." + key + " must be a text");
        }
        out = it->get<std::string>();
    }
}

void readTiming(const json& object, SimTiming& timing) {
    const std::string where = "timing";
    onlyKeys(object, where,
             {"connectReportDelayMs", "ackTimeoutMs", "reportRetries", "statusIntervalMs",
              "fotaTimeoutMs", "installMs", "restartMs", "demoDrainIntervalMs", "demoBudIntervalMs",
              "lineTimeoutMs"});
    read(object, "connectReportDelayMs", where, timing.connectReportDelayMs);
    read(object, "ackTimeoutMs", where, timing.ackTimeoutMs);
    read(object, "reportRetries", where, timing.reportRetries);
    read(object, "statusIntervalMs", where, timing.statusIntervalMs);
    read(object, "fotaTimeoutMs", where, timing.fotaTimeoutMs);
    read(object, "installMs", where, timing.installMs);
    read(object, "restartMs", where, timing.restartMs);
    read(object, "demoDrainIntervalMs", where, timing.demoDrainIntervalMs);
    read(object, "demoBudIntervalMs", where, timing.demoBudIntervalMs);
    read(object, "lineTimeoutMs", where, timing.lineTimeoutMs);
}

void readState(const json& object, const std::string& where, EarbudState& state) {
    onlyKeys(object, where,
             {"revision", "earType", "batteryLeft", "batteryRight", "batteryCase", "twsStatus",
              "primary", "wearing", "colorLeft", "colorRight", "versionLeft", "versionRight",
              "serialLeft", "serialRight"});
    read(object, "revision", where, state.revision);
    read(object, "earType", where, state.earType);
    read(object, "batteryLeft", where, state.batteryLeft);
    read(object, "batteryRight", where, state.batteryRight);
    read(object, "batteryCase", where, state.batteryCase);
    read(object, "twsStatus", where, state.twsStatus);
    read(object, "primary", where, state.primary);
    read(object, "wearing", where, state.wearing);
    read(object, "colorLeft", where, state.colorLeft);
    read(object, "colorRight", where, state.colorRight);
    read(object, "versionLeft", where, state.versionLeft);
    read(object, "versionRight", where, state.versionRight);
    read(object, "serialLeft", where, state.serialLeft);
    read(object, "serialRight", where, state.serialRight);
}

EarbudSettings readDevice(const json& object, std::size_t index) {
    const std::string where = "devices[" + std::to_string(index) + "]";
    onlyKeys(object, where,
             {"address", "name", "paired", "inRange", "mtu", "secondMtu", "packetsPerRequest",
              "checkFileCrc", "fallbackNewVersion", "state"});
    EarbudSettings device;
    std::string address;
    read(object, "address", where, address);
    const auto parsed = DeviceAddress::parse(address);
    if (!parsed) {
        throw ScenarioError(where + ".address must be written AA:BB:CC:DD:EE:FF");
    }
    device.address = *parsed;
    read(object, "name", where, device.name);
    if (device.name.empty()) {
        throw ScenarioError(where + ".name is required");
    }
    read(object, "paired", where, device.paired);
    read(object, "inRange", where, device.inRange);
    read(object, "mtu", where, device.mtu);
    read(object, "secondMtu", where, device.secondMtu);
    read(object, "packetsPerRequest", where, device.packetsPerRequest);
    read(object, "checkFileCrc", where, device.checkFileCrc);
    read(object, "fallbackNewVersion", where, device.fallbackNewVersion);
    if (device.mtu < 0 || device.mtu > 0xFFFF || device.secondMtu < 0 ||
        device.secondMtu > 0xFFFF) {
        throw ScenarioError(where + ": mtu and secondMtu must lie between 0 and 65535");
    }
    if (device.packetsPerRequest < 1 || device.packetsPerRequest > 127) {
        throw ScenarioError(where + ".packetsPerRequest must lie between 1 and 127");
    }
    if (const auto state = object.find("state"); state != object.end()) {
        readState(*state, where + ".state", device.state);
    }
    const std::size_t width = EarbudReports::serialLength(generationOfName(device.name));
    for (const std::string* serial : {&device.state.serialLeft, &device.state.serialRight}) {
        if (!serial->empty() && serial->size() != width) {
            throw ScenarioError(where + ": serial numbers of this generation have " +
                                std::to_string(width) + " characters");
        }
    }
    return device;
}

void readFirmware(const json& object, const std::filesystem::path& folder,
                  std::map<std::string, FirmwareRelease>& firmware) {
    if (!object.is_object()) {
        throw ScenarioError("updateServer.firmware must be an object of models");
    }
    for (const auto& [model, value] : object.items()) {
        const std::string where = "updateServer.firmware." + model;
        onlyKeys(value, where,
                 {"version", "flag", "extra", "notes", "notesKorean", "image", "imageSize"});
        FirmwareRelease& release = firmware[model];
        read(value, "version", where, release.version);
        if (release.version.empty()) {
            throw ScenarioError(where + ".version is required");
        }
        if (!value.contains("notes") && !value.contains("notesKorean")) {
            release.notes = ReleaseNotes::byLanguage(release.version);
            release.notesKorean = ReleaseNotes::korean(release.version);
        }
        read(value, "flag", where, release.flag);
        read(value, "extra", where, release.extra);
        read(value, "notesKorean", where, release.notesKorean);
        if (const auto notes = value.find("notes"); notes != value.end()) {
            if (!notes->is_object()) {
                throw ScenarioError(where + ".notes must map language codes to texts");
            }
            release.notes.clear();
            for (const auto& [code, text] : notes->items()) {
                if (!text.is_string()) {
                    throw ScenarioError(where + ".notes." + code + " must be a text");
                }
                release.notes[code] = text.get<std::string>();
            }
        }
        std::string image;
        read(value, "image", where, image);
        if (!image.empty()) {
            release.image = std::filesystem::path(image).is_absolute()
                                ? std::filesystem::path(image)
                                : folder / image;
        }
        read(value, "imageSize", where, release.imageSize);
    }
}

void readServer(const json& object, const std::filesystem::path& folder,
                UpdateServerSettings& server) {
    const std::string where = "updateServer";
    onlyKeys(object, where, {"enabled", "port", "firmware", "app", "faults"});
    read(object, "enabled", where, server.enabled);
    read(object, "port", where, server.port);
    if (const auto firmware = object.find("firmware"); firmware != object.end()) {
        readFirmware(*firmware, folder, server.firmware);
    }
    if (const auto app = object.find("app"); app != object.end()) {
        onlyKeys(*app, where + ".app", {"version", "notice"});
        read(*app, "version", where + ".app", server.app.version);
        read(*app, "notice", where + ".app", server.app.notice);
    }
    if (const auto faults = object.find("faults"); faults != object.end()) {
        const std::string at = where + ".faults";
        onlyKeys(*faults, at,
                 {"noNewer", "error500", "slowBytesPerSecond", "dropCount", "corruptPackage",
                  "wrongSize"});
        read(*faults, "noNewer", at, server.faults.noNewer);
        read(*faults, "error500", at, server.faults.error500);
        read(*faults, "slowBytesPerSecond", at, server.faults.slowBytesPerSecond);
        read(*faults, "dropCount", at, server.faults.dropCount);
        read(*faults, "corruptPackage", at, server.faults.corruptPackage);
        read(*faults, "wrongSize", at, server.faults.wrongSize);
    }
}

FirmwareRelease release(const std::string& version) {
    FirmwareRelease release;
    release.version = version;
    release.notes = ReleaseNotes::byLanguage(version);
    release.notesKorean = ReleaseNotes::korean(version);
    return release;
}

}  // namespace

std::string Scenario::nextVersion(const std::string& version) {
    const std::size_t dot = version.find_last_of('.');
    const std::string head = dot == std::string::npos ? "" : version.substr(0, dot + 1);
    const std::string last = dot == std::string::npos ? version : version.substr(dot + 1);
    try {
        return head + std::to_string(std::stoi(last) + 1);
    } catch (const std::exception&) {
        return version + ".1";
    }
}

SimConfig Scenario::defaults() {
    SimConfig config;
    config.server.firmware["VX-R175"] = release("2.2.0");
    config.server.firmware["VX-R170"] = release("1.5.0");
    config.server.app.version = nextVersion(AURALIS_VERSION);
    config.server.app.notice = "Auralis Manager " + config.server.app.version +
                               " brings faster firmware updates and fixes.";
    return config;
}

std::vector<EarbudSettings> Scenario::demoDevices() {
    EarbudSettings second;
    second.address = 0x705AB6014F2AULL;
    second.name = "Auralis+ (4F2A)";
    second.state.versionLeft = "2.1.0";
    second.state.versionRight = "2.1.0";
    second.state.colorLeft = 260;
    second.state.colorRight = 260;
    second.fallbackNewVersion = "2.2.0";

    EarbudSettings first;
    first.address = 0x705AB60077A0ULL;
    first.name = "Auralis (77A0)";
    first.state.versionLeft = "1.4.0";
    first.state.versionRight = "1.4.0";
    first.state.batteryLeft = 70;
    first.state.batteryRight = 66;
    first.fallbackNewVersion = "1.5.0";
    return {second, first};
}

bool Scenario::load(const std::filesystem::path& file, SimConfig& config, std::string* error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        *error = "cannot read the scenario " + file.string();
        return false;
    }
    const std::string text(std::istreambuf_iterator<char>(in), {});
    if (!parse(text, file.parent_path(), config, error)) {
        *error = file.string() + ": " + *error;
        return false;
    }
    return true;
}

bool Scenario::parse(const std::string& text, const std::filesystem::path& folder,
                     SimConfig& config, std::string* error) {
    const json root = json::parse(text, nullptr, false);
    if (root.is_discarded()) {
        *error = "not valid JSON";
        return false;
    }
    SimConfig result = config;
    try {
        onlyKeys(root, "the scenario", {"radio", "timing", "devices", "updateServer"});
        read(root, "radio", "the scenario", result.radioOn);
        if (const auto timing = root.find("timing"); timing != root.end()) {
            readTiming(*timing, result.timing);
        }
        if (const auto devices = root.find("devices"); devices != root.end()) {
            if (!devices->is_array()) {
                throw ScenarioError("devices must be a list");
            }
            for (std::size_t i = 0; i < devices->size(); ++i) {
                result.devices.push_back(readDevice((*devices)[i], i));
            }
        }
        if (const auto server = root.find("updateServer"); server != root.end()) {
            readServer(*server, folder, result.server);
        }
    } catch (const ScenarioError& problem) {
        *error = problem.what();
        return false;
    } catch (const json::exception& problem) {
        *error = problem.what();
        return false;
    }
    config = std::move(result);
    return true;
}

}  // namespace sim

#include "sim/CtlCommands.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sstream>

#include <nlohmann/json.hpp>

#include "sim/DeviceAddress.h"
#include "sim/Neighbourhood.h"
#include "sim/UpdateServer.h"

namespace sim {
namespace {

// A device's name, versions and serials are the test's bytes, not always UTF-8: such bytes are
// written as U+FFFD rather than ending the simulator (the library throws on them by default).
std::string printed(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

std::optional<int> number(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> onOff(const std::string& text) {
    const std::string word = upper(text);
    if (word == "ON" || word == "1" || word == "YES" || word == "IN" || word == "TRUE") {
        return true;
    }
    if (word == "OFF" || word == "0" || word == "NO" || word == "OUT" || word == "FALSE") {
        return false;
    }
    return std::nullopt;
}

const std::string kOk = "OK";

std::string err(const std::string& text) {
    return "ERR " + text;
}

}  // namespace

const char* const CtlCommands::kHelp =
    "  ADD <address> <name...>        add a device in range, not paired; the name decides the\n"
    "                                 generation (\"Auralis+ (…)\"/\"Auralis2 (…)\" second)\n"
    "  REMOVE <address>               remove a device (its link drops)\n"
    "  RADIO ON|OFF                   switch the radio (off drops every link; requests get ERR "
    "19)\n"
    "  RANGE <address> IN|OUT         bring a device into range or take it out (drops its link)\n"
    "  PAIRED <address> YES|NO        set the paired state\n"
    "  SET <address> key=value...     change the state; a connected device reports 0x60 (and\n"
    "                                 0xB4 for versions). Keys: batteryLeft batteryRight\n"
    "                                 batteryCase twsStatus primary wearing wearingLeft\n"
    "                                 wearingRight colorLeft colorRight versionLeft versionRight\n"
    "                                 serialLeft serialRight earType revision; for the next\n"
    "                                 update: mtu (0 allowed) secondMtu packetsPerRequest\n"
    "  BATTERY <address> L R [CASE]   shorthand for the battery keys\n"
    "  WEARING <address> L R          placements: 1 ear, 2 out, 3 case, 0/4 not connected\n"
    "  SILENT <address> ON|OFF        read everything, answer and report nothing\n"
    "  DROP <address>                 drop the link now\n"
    "  CORRUPT <address>              the next frame sent carries a wrong checksum\n"
    "  SPLIT <address>                the next frame sent goes out in two writes\n"
    "  EMERGENCY <address>            send the emergency request 0xBA\n"
    "  FWRESULT <address> STATE REASON [NOW]\n"
    "                                 end the next firmware update with this state and reason\n"
    "                                 (e.g. 0 14); NOW reports it at once\n"
    "  STALL <address> [PERCENT|OFF]  stop answering once a transfer reaches PERCENT (default 30)\n"
    "  REPORT <address> [60|61]       send a status report now\n"
    "  INFO [<address>]               OK <json> with a device's state and counters (all devices\n"
    "                                 without an address)\n"
    "  SERVER key=value...            update server: nonewer=0|1 error500=0|1 slow=<bytes/s>\n"
    "                                 drops=<n> corrupt=0|1 wrongsize=0|1\n"
    "                                 firmware=<model>:<version> app=<version>\n";

CtlCommands::CtlCommands(Neighbourhood& neighbourhood, UpdateServer* server)
    : m_neighbourhood(neighbourhood), m_server(server) {}

std::string CtlCommands::execute(const std::string& text) {
    const Words words = split(text);
    if (words.empty()) {
        return err("empty command");
    }
    const std::string verb = upper(words[0]);
    if (verb == "ADD") {
        return add(text.substr(text.find(words[0]) + words[0].size()));
    }
    if (verb == "REMOVE") {
        return remove(words);
    }
    if (verb == "RADIO") {
        return radio(words);
    }
    if (verb == "RANGE") {
        return range(words);
    }
    if (verb == "PAIRED") {
        return paired(words);
    }
    if (verb == "SET") {
        return set(words);
    }
    if (verb == "BATTERY") {
        return battery(words);
    }
    if (verb == "WEARING") {
        return wearing(words);
    }
    if (verb == "SILENT") {
        return silent(words);
    }
    if (verb == "DROP" || verb == "CORRUPT" || verb == "SPLIT" || verb == "EMERGENCY") {
        return simple(words);
    }
    if (verb == "FWRESULT") {
        return firmwareResult(words);
    }
    if (verb == "STALL") {
        return stall(words);
    }
    if (verb == "REPORT") {
        return report(words);
    }
    if (verb == "INFO") {
        return info(words);
    }
    if (verb == "SERVER") {
        return server(words);
    }
    return err("unknown command " + words[0]);
}

namespace {

// The device named by words[1], or an error answer.
std::shared_ptr<VirtualEarbuds> deviceFor(Neighbourhood& neighbourhood,
                                          const std::vector<std::string>& words,
                                          std::string& answer) {
    if (words.size() < 2) {
        answer = err(words[0] + " needs an address");
        return nullptr;
    }
    const auto address = DeviceAddress::parse(words[1]);
    if (!address) {
        answer = err("bad address " + words[1]);
        return nullptr;
    }
    auto device = neighbourhood.find(*address);
    if (!device) {
        answer = err("no device " + words[1]);
    }
    return device;
}

}  // namespace

std::string CtlCommands::add(const std::string& arguments) {
    const Words words = split(arguments);
    if (words.size() < 2) {
        return err("ADD needs an address and a name");
    }
    const auto address = DeviceAddress::parse(words[0]);
    if (!address) {
        return err("bad address " + words[0]);
    }
    const std::size_t nameStart = arguments.find(words[0]) + words[0].size();
    std::string name = arguments.substr(arguments.find_first_not_of(' ', nameStart));
    while (!name.empty() && name.back() == ' ') {
        name.pop_back();
    }
    EarbudSettings settings;
    settings.address = *address;
    settings.name = name;
    const std::string error = m_neighbourhood.add(settings);
    return error.empty() ? kOk : err(error);
}

std::string CtlCommands::remove(const Words& words) {
    std::string answer;
    const auto device = deviceFor(m_neighbourhood, words, answer);
    if (!device) {
        return answer;
    }
    m_neighbourhood.remove(device->address());
    return kOk;
}

std::string CtlCommands::radio(const Words& words) {
    const auto on = words.size() == 2 ? onOff(words[1]) : std::nullopt;
    if (!on) {
        return err("RADIO takes ON or OFF");
    }
    m_neighbourhood.setRadio(*on);
    return kOk;
}

std::string CtlCommands::range(const Words& words) {
    std::string answer;
    const auto device = deviceFor(m_neighbourhood, words, answer);
    if (!device) {
        return answer;
    }
    const auto in = words.size() == 3 ? onOff(words[2]) : std::nullopt;
    if (!in) {
        return err("RANGE takes IN or OUT");
    }
    device->setInRange(*in);
    return kOk;
}

std::string CtlCommands::paired(const Words& words) {
    std::string answer;
    const auto device = deviceFor(m_neighbourhood, words, answer);
    if (!device) {
        return answer;
    }
    const auto yes = words.size() == 3 ? onOff(words[2]) : std::nullopt;
    if (!yes) {
        return err("PAIRED takes YES or NO");
    }
    device->setPaired(*yes);
    return kOk;
}

std::string CtlCommands::set(const Words& words) {
    std::string answer;
    const auto device = deviceFor(m_neighbourhood, words, answer);
    if (!device) {
        return answer;
    }
    if (words.size() < 3) {
        return err("SET needs key=value pairs");
    }
    std::vector<std::pair<std::string, std::string>> changes;
    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::size_t equals = words[i].find('=');
        if (equals == std::string::npos || equals == 0) {
            return err("expected key=value, got " + words[i]);
        }
        changes.emplace_back(words[i].substr(0, equals), words[i].substr(equals + 1));
    }
    const std::string error = device->applyChanges(changes);
    return error.empty() ? kOk : err(error);
}

std::string CtlCommands::battery(const Words& words) {
    if (words.size() != 4 && words.size() != 5) {
        return err("BATTERY takes an address, left, right and optionally case");
    }
    Words asSet = {words[0], words[1], "batteryLeft=" + words[2], "batteryRight=" + words[3]};
    if (words.size() == 5) {
        asSet.push_back("batteryCase=" + words[4]);
    }
    return set(asSet);
}

std::string CtlCommands::wearing(const Words& words) {
    if (words.size() != 4) {
        return err("WEARING takes an address, the left and the right placement");
    }
    return set({words[0], words[1], "wearingLeft=" + words[2], "wearingRight=" + words[3]});
}

std::string CtlCommands::silent(const Words& words) {
    std::string answer;
    const auto device = deviceFor(m_neighbourhood, words, answer);
    if (!device) {
        return answer;
    }
    const auto on = words.size() == 3 ? onOff(words[2]) : std::nullopt;
    if (!on) {
        return err("SILENT takes ON or OFF");
    }
    device->setSilent(*on);
    return kOk;
}

std::string CtlCommands::simple(const Words& words) {
    std::string answer;
    const auto device = deviceFor(m_neighbourhood, words, answer);
    if (!device) {
        return answer;
    }
    const std::string verb = upper(words[0]);
    if (verb == "DROP") {
        return device->post(EarbudSession::Command::Drop) ? kOk : err("not connected");
    }
    if (verb == "CORRUPT") {
        device->corruptNextFrame();
        return kOk;
    }
    if (verb == "SPLIT") {
        device->splitNextFrame();
        return kOk;
    }
    return device->post(EarbudSession::Command::Emergency) ? kOk : err("not connected");
}

std::string CtlCommands::firmwareResult(const Words& words) {
    std::string answer;
    const auto device = deviceFor(m_neighbourhood, words, answer);
    if (!device) {
        return answer;
    }
    const auto state = words.size() >= 4 ? number(words[2]) : std::nullopt;
    const auto reason = words.size() >= 4 ? number(words[3]) : std::nullopt;
    const bool now = words.size() == 5 && upper(words[4]) == "NOW";
    if (!state || !reason || *state < 0 || *state > 255 || *reason < 0 || *reason > 255 ||
        (words.size() == 5 && !now) || words.size() > 5) {
        return err("FWRESULT takes an address, a state and a reason (0-255), and optionally NOW");
    }
    device->forceFirmwareResult({*state, *reason, now});
    return kOk;
}

std::string CtlCommands::stall(const Words& words) {
    std::string answer;
    const auto device = deviceFor(m_neighbourhood, words, answer);
    if (!device) {
        return answer;
    }
    if (words.size() == 3 && upper(words[2]) == "OFF") {
        device->stallTransferAt(std::nullopt);
        return kOk;
    }
    const auto percent = words.size() == 3 ? number(words[2]) : std::optional<int>(30);
    if (!percent || *percent < 0 || *percent > 100 || words.size() > 3) {
        return err("STALL takes an address and optionally a percentage or OFF");
    }
    device->stallTransferAt(*percent);
    return kOk;
}

std::string CtlCommands::report(const Words& words) {
    std::string answer;
    const auto device = deviceFor(m_neighbourhood, words, answer);
    if (!device) {
        return answer;
    }
    const std::string which = words.size() == 3 ? words[2] : "60";
    if (words.size() > 3 || (which != "60" && which != "61")) {
        return err("REPORT takes an address and optionally 60 or 61");
    }
    const auto command = which == "60" ? EarbudSession::Command::ReportStatus
                                       : EarbudSession::Command::ReportExtended;
    return device->post(command) ? kOk : err("not connected");
}

std::string CtlCommands::info(const Words& words) {
    if (words.size() == 1) {
        nlohmann::json all = nlohmann::json::array();
        for (const auto& device : m_neighbourhood.devices()) {
            all.push_back(device->info());
        }
        return "OK " +
               printed(nlohmann::json{{"radio", m_neighbourhood.radioOn()}, {"devices", all}});
    }
    std::string answer;
    const auto device = deviceFor(m_neighbourhood, words, answer);
    if (!device) {
        return answer;
    }
    return "OK " + printed(device->info());
}

std::string CtlCommands::server(const Words& words) {
    if (m_server == nullptr) {
        return err("the update server is not running");
    }
    if (words.size() < 2) {
        return err("SERVER needs key=value pairs");
    }
    ServerFaults faults = m_server->faults();
    for (std::size_t i = 1; i < words.size(); ++i) {
        const std::size_t equals = words[i].find('=');
        const std::string key = equals == std::string::npos ? words[i] : words[i].substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : words[i].substr(equals + 1);
        const auto count = number(value);
        if (key == "nonewer" && count && (*count == 0 || *count == 1)) {
            faults.noNewer = *count == 1;
        } else if (key == "error500" && count && (*count == 0 || *count == 1)) {
            faults.error500 = *count == 1;
        } else if (key == "slow" && count && *count >= 0) {
            faults.slowBytesPerSecond = *count;
        } else if (key == "drops" && count && *count >= 0) {
            faults.dropCount = *count;
        } else if (key == "corrupt" && count && (*count == 0 || *count == 1)) {
            faults.corruptPackage = *count == 1;
        } else if (key == "wrongsize" && count && (*count == 0 || *count == 1)) {
            faults.wrongSize = *count == 1;
        } else if (key == "firmware" && value.find(':') != std::string::npos) {
            const std::size_t colon = value.find(':');
            if (!m_server->setFirmwareVersion(value.substr(0, colon), value.substr(colon + 1))) {
                return err("no firmware for model " + value.substr(0, colon) + " or bad version");
            }
        } else if (key == "app" && !value.empty()) {
            m_server->setAppVersion(value);
        } else {
            return err("bad server setting " + words[i]);
        }
    }
    m_server->setFaults(faults);
    return kOk;
}

}  // namespace sim

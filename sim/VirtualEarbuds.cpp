#include "sim/VirtualEarbuds.h"

#include <charconv>
#include <chrono>
#include <cstdio>

#include "base/Log.h"
#include "platform/TickCount.h"
#include "sim/DeviceAddress.h"
#include "sim/EarbudReports.h"
#include "sim/Transcript.h"

namespace sim {
namespace {

constexpr std::size_t kRecentFailures = 20;
// How long a connect waits for the previous link's session to notice that its peer has gone.
constexpr std::chrono::milliseconds kOldLinkGrace{500};

std::optional<int> parseInt(const std::string& text) {
    int value = 0;
    const int base = text.starts_with("0x") || text.starts_with("0X") ? 16 : 10;
    const char* begin = text.data() + (base == 16 ? 2 : 0);
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(begin, end, value, base);
    if (error != std::errc() || ptr != end || begin == end) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

const char* const VirtualEarbuds::kSettableKeys =
    "batteryLeft batteryRight batteryCase twsStatus primary wearing wearingLeft wearingRight "
    "colorLeft colorRight versionLeft versionRight serialLeft serialRight earType revision "
    "mtu secondMtu packetsPerRequest";

VirtualEarbuds::VirtualEarbuds(EarbudSettings settings, const SimTiming& timing,
                               Transcript& transcript, bool echoFailures)
    : m_address(settings.address),
      m_name(settings.name),
      m_generation(generationOfName(settings.name)),
      m_label(settings.name + " [" + DeviceAddress::format(settings.address) + "]"),
      m_timing(timing),
      m_transcript(transcript),
      m_echoFailures(echoFailures),
      m_settings(std::move(settings)) {
    m_inRange = m_settings.inRange;
    m_paired = m_settings.paired;
    EarbudState& state = m_settings.state;
    if (state.serialLeft.empty()) {
        state.serialLeft = EarbudReports::defaultSerial(m_address, 'L', m_generation);
    }
    if (state.serialRight.empty()) {
        state.serialRight = EarbudReports::defaultSerial(m_address, 'R', m_generation);
    }
    if (state.versionLeft.empty()) {
        state.versionLeft = m_generation == Generation::Second ? "2.1.0" : "1.4.0";
    }
    if (state.versionRight.empty()) {
        state.versionRight = state.versionLeft;
    }
}

VirtualEarbuds::~VirtualEarbuds() = default;

bool VirtualEarbuds::available() const {
    std::lock_guard lock(m_mutex);
    return m_inRange && platform::tickCount() >= m_restartUntil;
}

bool VirtualEarbuds::restarting() const {
    std::lock_guard lock(m_mutex);
    return platform::tickCount() < m_restartUntil;
}

void VirtualEarbuds::setInRange(bool inRange) {
    {
        std::lock_guard lock(m_mutex);
        m_inRange = inRange;
    }
    if (!inRange) {
        dropLink();
    }
}

bool VirtualEarbuds::paired() const {
    std::lock_guard lock(m_mutex);
    return m_paired;
}

void VirtualEarbuds::setPaired(bool paired) {
    std::lock_guard lock(m_mutex);
    m_paired = paired;
}

bool VirtualEarbuds::connected() const {
    std::lock_guard lock(m_mutex);
    return m_session != nullptr;
}

bool VirtualEarbuds::transferActive() const {
    std::lock_guard lock(m_mutex);
    return m_transferActive;
}

EarbudState VirtualEarbuds::state() const {
    std::lock_guard lock(m_mutex);
    return m_settings.state;
}

std::string VirtualEarbuds::applyOne(EarbudSettings& settings, const std::string& key,
                                     const std::string& value, bool& versionsChanged) const {
    struct IntField {
        const char* key;
        int EarbudState::*field;
        int max;
    };
    static const IntField kIntFields[] = {
        {"batteryLeft", &EarbudState::batteryLeft, 255},
        {"batteryRight", &EarbudState::batteryRight, 255},
        {"batteryCase", &EarbudState::batteryCase, 255},
        {"twsStatus", &EarbudState::twsStatus, 255},
        {"primary", &EarbudState::primary, 255},
        {"wearing", &EarbudState::wearing, 255},
        {"colorLeft", &EarbudState::colorLeft, 0xFFFF},
        {"colorRight", &EarbudState::colorRight, 0xFFFF},
        {"earType", &EarbudState::earType, 255},
        {"revision", &EarbudState::revision, 255},
    };
    EarbudState& state = settings.state;
    // Transfer parameters: they apply from the next firmware update on.
    struct SettingField {
        const char* key;
        int EarbudSettings::*field;
        int min;
        int max;
    };
    static const SettingField kSettingFields[] = {
        {"mtu", &EarbudSettings::mtu, 0, 0xFFFF},
        {"secondMtu", &EarbudSettings::secondMtu, 0, 0xFFFF},
        {"packetsPerRequest", &EarbudSettings::packetsPerRequest, 1, 127},
    };
    for (const SettingField& field : kSettingFields) {
        if (key == field.key) {
            const auto number = parseInt(value);
            if (!number || *number < field.min || *number > field.max) {
                return key + " takes a number from " + std::to_string(field.min) + " to " +
                       std::to_string(field.max);
            }
            settings.*field.field = *number;
            return {};
        }
    }
    for (const IntField& field : kIntFields) {
        if (key == field.key) {
            const auto number = parseInt(value);
            if (!number || *number < 0 || *number > field.max) {
                return key + " takes a number from 0 to " + std::to_string(field.max);
            }
            state.*field.field = *number;
            return {};
        }
    }
    if (key == "wearingLeft" || key == "wearingRight") {
        const auto number = parseInt(value);
        if (!number || *number < 0 || *number > 15) {
            return key + " takes a number from 0 to 15";
        }
        state.wearing = key == "wearingLeft" ? (*number << 4) | (state.wearing & 0x0F)
                                             : (state.wearing & 0xF0) | *number;
        return {};
    }
    if (key == "versionLeft" || key == "versionRight") {
        if (value.empty()) {
            return key + " takes a non-empty text";
        }
        (key == "versionLeft" ? state.versionLeft : state.versionRight) = value;
        versionsChanged = true;
        return {};
    }
    if (key == "serialLeft" || key == "serialRight") {
        const std::size_t width = EarbudReports::serialLength(m_generation);
        if (value.size() != width) {
            return key + " takes exactly " + std::to_string(width) +
                   " characters on this generation";
        }
        (key == "serialLeft" ? state.serialLeft : state.serialRight) = value;
        return {};
    }
    return "unknown key " + key + " (keys: " + kSettableKeys + ")";
}

std::string VirtualEarbuds::applyChanges(
    const std::vector<std::pair<std::string, std::string>>& changes) {
    bool versionsChanged = false;
    {
        std::lock_guard lock(m_mutex);
        EarbudSettings settings = m_settings;
        for (const auto& [key, value] : changes) {
            if (std::string error = applyOne(settings, key, value, versionsChanged);
                !error.empty()) {
                return error;
            }
        }
        m_settings = settings;
    }
    post(EarbudSession::Command::StatusChanged);
    if (versionsChanged) {
        post(EarbudSession::Command::VersionsChanged);
    }
    return {};
}

bool VirtualEarbuds::runLink(std::shared_ptr<platform::bluetooth::FdConnection> link,
                             const std::function<bool()>& accepted) {
    FirmwareReceiver::Settings settings = receiverSettings();
    const std::shared_ptr<platform::bluetooth::FdConnection> stream = link;
    std::unique_ptr<EarbudSession> session;
    {
        std::unique_lock lock(m_mutex);
        // A program that closed its link and connects again at once may come before the old
        // session has read the end of its stream; real earbuds see the old link gone by then.
        // A session whose peer is really still there keeps the device busy.
        if (!m_sessionEnded.wait_for(lock, kOldLinkGrace,
                                     [this] { return m_session == nullptr; })) {
            return false;
        }
        session = std::make_unique<EarbudSession>(*this, std::move(link), std::move(settings),
                                                  m_timing, m_transcript);
        m_session = session.get();
        m_restartAfterLink = false;
        ++m_links;
    }
    _Log(LOG_INFO, "VirtualEarbuds::runLink", __LINE__, "%s: link opened", m_label.c_str());
    if (accepted()) {
        session->run();
    }
    std::string newVersion;
    bool restart = false;
    {
        std::lock_guard lock(m_mutex);
        m_session = nullptr;
        m_transferActive = false;
        restart = m_restartAfterLink;
        newVersion = m_versionAfterRestart;
        m_restartAfterLink = false;
    }
    m_sessionEnded.notify_all();
    _Log(LOG_INFO, "VirtualEarbuds::runLink", __LINE__, "%s: link closed", m_label.c_str());
    if (restart) {
        beginRestart(newVersion);
    }
    // Closed last: whoever sees the link end finds the device disconnected (and restarting).
    stream->close();
    return true;
}

void VirtualEarbuds::dropLink() {
    post(EarbudSession::Command::Drop);
}

bool VirtualEarbuds::post(EarbudSession::Command command) {
    std::lock_guard lock(m_mutex);
    if (m_session == nullptr) {
        return false;
    }
    m_session->post(command);
    return true;
}

void VirtualEarbuds::stallTransferAt(std::optional<int> percent) {
    std::lock_guard lock(m_mutex);
    m_stallPercent = percent;
}

std::optional<int> VirtualEarbuds::stallPercent() const {
    std::lock_guard lock(m_mutex);
    return m_stallPercent;
}

void VirtualEarbuds::forceFirmwareResult(ForcedResult result) {
    {
        std::lock_guard lock(m_mutex);
        m_forced = result;
    }
    post(EarbudSession::Command::FirmwareResult);
}

std::optional<VirtualEarbuds::ForcedResult> VirtualEarbuds::takeForcedResult() {
    std::lock_guard lock(m_mutex);
    auto forced = m_forced;
    m_forced.reset();
    return forced;
}

FirmwareReceiver::Settings VirtualEarbuds::receiverSettings() const {
    std::lock_guard lock(m_mutex);
    FirmwareReceiver::Settings settings;
    settings.generation = m_generation;
    settings.modelCode = std::string(modelCodeOf(m_generation));
    settings.mtu = m_settings.mtu;
    settings.secondMtu = m_settings.secondMtu;
    settings.packetsPerRequest = m_settings.packetsPerRequest;
    settings.checkFileCrc = m_settings.checkFileCrc;
    settings.timeoutMs = m_timing.fotaTimeoutMs;
    settings.installMs = m_timing.installMs;
    return settings;
}

void VirtualEarbuds::expectationFailed(const std::string& text) {
    _Log(LOG_WARNING, "VirtualEarbuds::expectationFailed", __LINE__, "%s: %s", m_label.c_str(),
         text.c_str());
    m_transcript.note(m_address, "expectation failed: " + text);
    if (m_echoFailures) {
        std::fprintf(stderr, "auralis-sim: %s: %s\n", m_label.c_str(), text.c_str());
    }
    std::lock_guard lock(m_mutex);
    ++m_failures;
    m_recentFailures.push_back(text);
    if (m_recentFailures.size() > kRecentFailures) {
        m_recentFailures.erase(m_recentFailures.begin());
    }
}

int VirtualEarbuds::expectationFailures() const {
    std::lock_guard lock(m_mutex);
    return m_failures;
}

void VirtualEarbuds::noteAcknowledged(uint8_t) {
    std::lock_guard lock(m_mutex);
    ++m_acknowledgements;
}

void VirtualEarbuds::noteTransfer(bool active, int percent) {
    std::lock_guard lock(m_mutex);
    m_transferActive = active;
    m_transferPercent = percent;
}

void VirtualEarbuds::firmwareFinished(const FirmwareReceiver::Outcome& outcome) {
    std::lock_guard lock(m_mutex);
    m_lastOutcome = outcome;
    if (outcome.success()) {
        ++m_updates;
        m_restartAfterLink = true;
        m_versionAfterRestart =
            outcome.newVersion.empty() ? m_settings.fallbackNewVersion : outcome.newVersion;
    }
}

void VirtualEarbuds::resetRequested() {
    std::lock_guard lock(m_mutex);
    ++m_resets;
    m_restartAfterLink = true;
    m_versionAfterRestart.clear();
}

void VirtualEarbuds::beginRestart(const std::string& newVersion) {
    bool versionChanged = false;
    {
        std::lock_guard lock(m_mutex);
        if (!newVersion.empty()) {
            versionChanged = m_settings.state.versionLeft != newVersion ||
                             m_settings.state.versionRight != newVersion;
            m_settings.state.versionLeft = newVersion;
            m_settings.state.versionRight = newVersion;
        }
        m_restartUntil =
            platform::tickCount() + static_cast<uint64_t>(std::max(0, m_timing.restartMs));
    }
    _Log(LOG_INFO, "VirtualEarbuds::beginRestart", __LINE__, "%s: restarting for %d ms%s%s",
         m_label.c_str(), m_timing.restartMs, versionChanged ? " with version " : "",
         versionChanged ? newVersion.c_str() : "");
    m_transcript.note(
        m_address, "restarting" + (versionChanged ? " with version " + newVersion : std::string()));
}

nlohmann::json VirtualEarbuds::info() const {
    std::lock_guard lock(m_mutex);
    const EarbudState& s = m_settings.state;
    const uint64_t now = platform::tickCount();
    nlohmann::json json = {
        {"address", DeviceAddress::format(m_address)},
        {"name", m_name},
        {"generation", m_generation == Generation::Second ? 2 : 1},
        {"model", modelCodeOf(m_generation)},
        {"paired", m_paired},
        {"inRange", m_inRange},
        {"restarting", now < m_restartUntil},
        {"connected", m_session != nullptr},
        {"links", m_links},
        {"state",
         {{"revision", s.revision},
          {"earType", s.earType},
          {"batteryLeft", s.batteryLeft},
          {"batteryRight", s.batteryRight},
          {"batteryCase", s.batteryCase},
          {"twsStatus", s.twsStatus},
          {"primary", s.primary},
          {"wearing", s.wearing},
          {"colorLeft", s.colorLeft},
          {"colorRight", s.colorRight},
          {"versionLeft", s.versionLeft},
          {"versionRight", s.versionRight},
          {"serialLeft", s.serialLeft},
          {"serialRight", s.serialRight}}},
        {"silent", m_silent.load()},
        {"acknowledgements", m_acknowledgements},
        {"transfer", {{"active", m_transferActive}, {"percent", m_transferPercent}}},
        {"updates", m_updates},
        {"resets", m_resets},
        {"expectationFailures", m_failures},
        {"recentFailures", m_recentFailures},
    };
    if (m_lastOutcome) {
        json["lastResult"] = {{"state", m_lastOutcome->state},
                              {"reason", m_lastOutcome->reason},
                              {"acknowledged", m_lastOutcome->acknowledged}};
    }
    return json;
}

}  // namespace sim

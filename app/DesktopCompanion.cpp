#include "app/DesktopCompanion.h"

#include "base/Log.h"
#include "link/BluetoothDevice.h"
#include "link/FrameCodec.h"
#include "platform/desktop/DesktopSession.h"
#include "services/EnvironVar.h"
#include "services/SLocale.h"
#include "services/SSetting.h"

namespace {

constexpr int kPlacementInCase = 3;

bool IsLevel(int32_t value) {
    return value >= 1 && value <= 100;
}

// The bud that runs out first among those in use and out of the case (a bud in the case is
// charging); -1 when none reports a level. second: true for the right bud.
std::pair<int, bool> LowestWornBud(const TrayPresenter::Pair& pair) {
    const DeviceStatus& status = pair.status;
    auto counts = [&](int placement, int32_t level) {
        const bool inUse = placement != 0 && placement != 4 && placement != kPlacementInCase;
        return (!pair.secondGeneration || inUse) && IsLevel(level);
    };
    const bool left = counts((status.wearingDetection >> 4) & 0xF, status.batteryLeft);
    const bool right = counts(status.wearingDetection & 0xF, status.batteryRight);
    if (left && (!right || status.batteryLeft <= status.batteryRight)) {
        return {status.batteryLeft, false};
    }
    if (right) {
        return {status.batteryRight, true};
    }
    return {-1, false};
}

std::string IconPath() {
    return EnvironVar::GetInstallPath() + "/res/icon_64.png";
}

}  // namespace

DesktopCompanion::DesktopCompanion() = default;

// The session (and its thread) ends only here, after the link's threads have left the view.
DesktopCompanion::~DesktopCompanion() = default;

void DesktopCompanion::Enable(Actions actions) {
    if (m_enabled.load()) {
        return;
    }
    m_actions = std::move(actions);
    platform::desktop::DesktopSession::Handlers handlers;
    handlers.activate = [this] { RaiseWindow(); };
    handlers.noticeActivated = [this] { RaiseWindow(); };
    handlers.menuChosen = [this](int id) { OnMenuChosen(id); };
    handlers.trayShown = [this](bool shown) { OnTrayShown(shown); };
    m_session = std::make_unique<platform::desktop::DesktopSession>(
        std::move(handlers), AfxGetStrRes("MNU_AuralisManager"), "auralis-manager");
    m_enabled.store(true);
}

void DesktopCompanion::Disable() {
    if (m_enabled.exchange(false)) {
        m_session->hideTray();
    }
}

void DesktopCompanion::AddMenuAction(std::string label, std::function<void()> action) {
    {
        std::lock_guard lock(m_mutex);
        m_extraActions.emplace_back(std::move(label), std::move(action));
    }
    Refresh();
}

bool DesktopCompanion::KeepInTraySetting() {
    SettingChild* section = AfxGetSetting()->GetSettingChild(kSettingSection);
    return section != nullptr && section->GetValue(kKeepInTrayKey) == "1";
}

void DesktopCompanion::SetKeepInTraySetting(bool on) {
    SettingChild* section = AfxGetSetting()->AddSettingChild(kSettingSection);
    if (section == nullptr || !section->Update(kKeepInTrayKey, on ? "1" : "0")) {
        return;
    }
    AfxGetSetting()->Save();
}

bool DesktopCompanion::KeepsRunningOnClose() const {
    if (!m_enabled.load() || m_quitting.load() || !m_session->trayShown()) {
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        if (!m_connected) {
            return false;
        }
    }
    return KeepInTraySetting();
}

// ---------------------------------------------------------------- the link's events

void DesktopCompanion::OnConnected(const BluetoothDevice& device) {
    if (!m_enabled.load()) {
        return;
    }
    std::lock_guard lock(m_mutex);
    m_connected = true;
    m_restartExpected = false;
    m_address = device.address;
    m_pair = TrayPresenter::Pair{};
    m_pair.name = device.name;
    m_pair.secondGeneration = devlink::isSecondGenerationName(device.name);
    if (m_alarmAddress != device.address) {
        // Another pair: its discharge is its own.
        m_alarm = LowBatteryAlarm{};
        m_alarmAddress = device.address;
    }
    // The item appears with the first status report, when there is something to show.
}

void DesktopCompanion::OnStatus(const DeviceStatus& status) {
    if (!m_enabled.load()) {
        return;
    }
    TrayPresenter::Pair pair;
    {
        std::lock_guard lock(m_mutex);
        if (!m_connected) {
            return;
        }
        m_pair.status = status;
        m_pair.hasStatus = true;
        pair = m_pair;
    }
    CheckBatteries(pair);
    Refresh();
}

void DesktopCompanion::CheckBatteries(const TrayPresenter::Pair& pair) {
    const auto [level, right] = LowestWornBud(pair);
    int mark = 0;
    {
        std::lock_guard lock(m_mutex);
        mark = m_alarm.OnLevel(level);
    }
    if (mark == 0) {
        return;
    }
    _Log(LOG_INFO, "DesktopCompanion", __LINE__, "battery notice: %s bud at %d %%",
         right ? "right" : "left", level);
    const char* summary =
        mark == LowBatteryAlarm::kSecondMark ? "U_EarbudsBatteryVeryLow" : "U_EarbudsBatteryLow";
    const char* body = right ? "MSG_RightEarbudBatteryLow" : "MSG_LeftEarbudBatteryLow";
    Notify(AfxGetStrRes(summary), AfxGetStrResFormat(body, 1, std::to_string(level)));
}

void DesktopCompanion::OnDisconnected() {
    if (!m_enabled.load()) {
        return;
    }
    std::string name;
    {
        std::lock_guard lock(m_mutex);
        if (!m_connected) {
            return;
        }
        if (m_restartExpected) {
            // The earbuds restart with their new firmware; the reconnect brings them back, and
            // the item stays meanwhile.
            return;
        }
        m_connected = false;
        name = m_pair.name;
    }
    _Log(LOG_INFO, "DesktopCompanion", __LINE__, "notice: earbuds lost");
    Notify(AfxGetStrRes("U_EarbudsDisconnected"),
           AfxGetStrResFormat("MSG_EarbudsConnectionLost", 1, name));
    Refresh();
}

void DesktopCompanion::OnReleased() {
    if (!m_enabled.load()) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_connected = false;
        m_restartExpected = false;
    }
    Refresh();
}

void DesktopCompanion::OnFirmwareUpdateFinished(bool success) {
    m_transferRunning.store(false);
    if (!m_enabled.load()) {
        return;
    }
    if (success) {
        std::lock_guard lock(m_mutex);
        m_restartExpected = true;
    }
    if (m_actions.windowFocused && m_actions.windowFocused()) {
        return;  // the user watches the result on the screen
    }
    _Log(LOG_INFO, "DesktopCompanion", __LINE__, "notice: firmware update %s",
         success ? "finished" : "failed");
    if (success) {
        Notify(AfxGetStrRes("MNU_FirmwareUpdateTitle"),
               AfxGetStrRes("MSG_SoftwareUpdateSuccessDescription"));
    } else {
        Notify(AfxGetStrRes("MNU_Pelk_UpdateFailTitle"),
               AfxGetStrRes("MSG_Pelk_UpdateFailDescription1"));
    }
}

// ---------------------------------------------------------------- tray

void DesktopCompanion::Refresh() {
    if (!m_enabled.load()) {
        return;
    }
    TrayPresenter::Pair pair;
    std::vector<std::string> extras;
    bool show = false;
    {
        std::lock_guard lock(m_mutex);
        show = m_connected && m_pair.hasStatus;
        pair = m_pair;
        for (const auto& extra : m_extraActions) {
            extras.push_back(extra.first);
        }
    }
    if (!show) {
        std::lock_guard lock(m_mutex);
        if (m_lastContent) {
            m_lastContent.reset();
            m_session->hideTray();
        }
        return;
    }
    platform::desktop::TrayContent content =
        TrayPresenter::Build(pair, extras, KeepInTraySetting());
    content.icon = m_icons.Pixmaps(TrayIconSet::LevelStep(LowestWornBud(pair).first));
    // Most status reports change nothing the tray shows: the desktop thread is not woken then.
    std::lock_guard lock(m_mutex);
    if (m_lastContent != content) {
        m_lastContent = content;
        m_session->showTray(content);
    }
}

void DesktopCompanion::Notify(const std::string& summary, const std::string& body) {
    platform::desktop::DesktopNotice notice;
    notice.summary = summary;
    notice.body = body;
    notice.iconPath = IconPath();
    notice.defaultActionLabel = AfxGetStrRes("MNU_OpenAuralisManager");
    m_session->notify(notice);
}

void DesktopCompanion::RaiseWindow() {
    if (m_actions.post && m_actions.raiseWindow) {
        m_actions.post(m_actions.raiseWindow);
    }
}

void DesktopCompanion::OnMenuChosen(int id) {
    if (!m_actions.post) {
        return;
    }
    switch (id) {
        case TrayPresenter::kOpenId:
            RaiseWindow();
            return;
        case TrayPresenter::kChooseOtherId:
            m_actions.post([this] {
                if (m_actions.raiseWindow) {
                    m_actions.raiseWindow();
                }
                if (m_actions.chooseOtherEarbuds) {
                    m_actions.chooseOtherEarbuds();
                }
            });
            return;
        case TrayPresenter::kKeepInTrayId:
            m_actions.post([this] {
                SetKeepInTraySetting(!KeepInTraySetting());
                Refresh();
            });
            return;
        case TrayPresenter::kQuitId:
            m_actions.post([this] {
                SetQuitting();
                if (m_actions.quit) {
                    m_actions.quit();
                }
            });
            return;
        default:
            break;
    }
    std::function<void()> extra;
    {
        std::lock_guard lock(m_mutex);
        const int index = id - TrayPresenter::kFirstExtraId;
        if (index >= 0 && index < static_cast<int>(m_extraActions.size())) {
            extra = m_extraActions[index].second;
        }
    }
    if (extra) {
        m_actions.post(extra);
    }
}

void DesktopCompanion::OnTrayShown(bool shown) {
    if (shown || !m_actions.post) {
        return;
    }
    // Without the item a window hidden in the tray could never come back: show it.
    m_actions.post([this] {
        if (m_actions.windowHidden && m_actions.windowHidden() && m_actions.raiseWindow) {
            _Log(LOG_INFO, "DesktopCompanion", __LINE__,
                 "the tray item went away: the window comes back");
            m_actions.raiseWindow();
        }
    });
}

// ---------------------------------------------------------------- tests

bool DesktopCompanion::Settle(int timeoutMs) {
    return m_session && m_session->settle(timeoutMs);
}

std::string DesktopCompanion::BusName() const {
    return m_session ? m_session->busName() : std::string();
}

bool DesktopCompanion::TrayShown() const {
    return m_session && m_session->trayShown();
}

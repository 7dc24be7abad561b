#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/LowBatteryAlarm.h"
#include "app/TrayIconSet.h"
#include "app/TrayPresenter.h"
#include "link/DeviceStatus.h"
#include "platform/desktop/TrayContent.h"

class BluetoothDevice;
namespace platform::desktop {
class DesktopSession;
}

// The program on the desktop outside its window while a pair is connected: a tray item with the
// batteries (icon, tooltip, menu) and notices when a bud runs low, when the pair is lost and
// when a firmware update ends while the window is in the background. It follows the link's
// events as the connection controller passes them on, and asks the program for what only the
// window can do (raise it, choose other earbuds, quit) through Actions.
//
// Inert until Enable: the main program enables it; screens built in tests never reach a bus.
// Threads: link events arrive on the link's threads; the tray's requests arrive on the desktop
// session's thread and are handed to the UI thread through Actions::post; Enable, Disable,
// AddMenuAction and KeepsRunningOnClose belong to the UI thread.
class DesktopCompanion {
public:
    static constexpr const char* kSettingSection = "Tray";
    static constexpr const char* kKeepInTrayKey = "KeepRunningInTray";

    struct Actions {
        std::function<void(std::function<void()>)> post;  // runs work on the UI thread
        std::function<void()> raiseWindow;                // shows and raises the main window
        std::function<void()> chooseOtherEarbuds;         // lets the pair go, starts a search
        std::function<void()> quit;                       // ends the program
        std::function<bool()> windowFocused;              // any thread
        std::function<bool()> windowHidden;               // UI thread
    };

    DesktopCompanion();
    ~DesktopCompanion();
    DesktopCompanion(const DesktopCompanion&) = delete;
    DesktopCompanion& operator=(const DesktopCompanion&) = delete;

    void Enable(Actions actions);
    // Withdraws the tray item; later events are ignored.
    void Disable();
    bool IsEnabled() const { return m_enabled.load(); }

    // Another part of the program offers an action in the tray menu ("Sync earbuds"); it runs
    // on the UI thread when chosen.
    void AddMenuAction(std::string label, std::function<void()> action);

    // ---- the link's events (link threads)
    void OnConnected(const BluetoothDevice& device);
    void OnStatus(const DeviceStatus& status);
    // The link was lost without the program asking (alive check, watchdog).
    void OnDisconnected();
    // The program let the pair go on purpose: no notice.
    void OnReleased();
    void OnFirmwareUpdateFinished(bool success);
    // A firmware transfer reports progress: it runs until OnFirmwareUpdateFinished.
    void OnFirmwareProgress() { m_transferRunning.store(true); }
    bool IsTransferRunning() const { return m_transferRunning.load(); }

    // Closing the window now leaves the program running in the tray: the user turned that on,
    // a panel shows the item, and the program is not quitting. UI thread.
    bool KeepsRunningOnClose() const;
    // The program is ending: closing the window closes it.
    void SetQuitting() { m_quitting.store(true); }

    // The user's choice in the settings file (section "Tray", key "KeepRunningInTray", "1" on;
    // off when absent).
    static bool KeepInTraySetting();
    static void SetKeepInTraySetting(bool on);

    // ---- for tests
    bool Settle(int timeoutMs);
    std::string BusName() const;
    bool TrayShown() const;

private:
    void Refresh();
    void Notify(const std::string& summary, const std::string& body);
    void CheckBatteries(const TrayPresenter::Pair& pair);
    void OnMenuChosen(int id);
    void OnTrayShown(bool shown);
    void RaiseWindow();

    std::atomic<bool> m_enabled{false};
    std::atomic<bool> m_quitting{false};
    std::atomic<bool> m_transferRunning{false};
    Actions m_actions;
    TrayIconSet m_icons;
    std::unique_ptr<platform::desktop::DesktopSession> m_session;

    mutable std::mutex m_mutex;
    bool m_connected = false;
    uint64_t m_address = 0;
    TrayPresenter::Pair m_pair;
    LowBatteryAlarm m_alarm;
    uint64_t m_alarmAddress = 0;
    bool m_restartExpected = false;  // the earbuds restart after a firmware update
    std::optional<platform::desktop::TrayContent> m_lastContent;  // as last handed to the tray
    std::vector<std::pair<std::string, std::function<void()>>> m_extraActions;
};

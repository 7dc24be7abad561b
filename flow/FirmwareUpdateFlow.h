#pragma once

// The firmware update of the connected earbuds without a screen: ask the update server for the
// newest firmware, compare versions, check that the earbuds can take an update, download the
// package, judge it, hand it to the device link and turn the earbuds' verdict into persisted
// flags and one event per outcome. The firmware screen and auralis-ctl both drive it.
//
// How a caller drives it (threads in brackets):
//
//  1. Construct it with the device link and a delegate (any thread), and let it hear every event
//     the link raises, on the thread that raised it: the flow is an IBluetoothHandleDelegate, so
//     the program subscribes it to the link (BluetoothHandle::addReceiver; the firmware screen
//     does, before the connection controller subscribes) or hands it the events of its own
//     receiver first (auralis-ctl's queue, LinkEventQueue::alsoTell). Unsubscribe it before it
//     goes. The flow learns the device, its status (batteries, wearing) and its versions from
//     them, and needs OnDownloadProgressChange, OnDownloadFinish, OnFotaStateChange and
//     OnDeviceDisconnected for the transfer.
//  2. The offer, one of two ways:
//     - RequestLatestVersion() (any thread): the flow asks the server itself; OnFlowOffer or
//       OnFlowCheckFailed follows [web library thread]. auralis-ctl does this.
//     - AcceptAnswer(answer) (any thread; blocks up to 30 s for the size request): a version
//       answer that the caller obtained itself (the screen's version-check popup) becomes the
//       offer, returned at once; no event. The screen does this on the thread that ran the popup.
//     Either way the flow stores the offer and the new-firmware badge (SetIsNotifyUpdateFW) and
//     applies the guest rule (FirmwareOffer::offered).
//  3. CheckStart() (any thread): Ready, NotWorn, BatteryLow or AskResend. The caller shows the
//     refusals itself. On AskResend the caller asks the user: yes → Resend(), no → stay.
//  4. StartDownload() (any thread): the update now belongs to the connected pair (its address
//     and model). PH_DOWNLOAD; then OnFlowDownloadProgress…, PH_DOWNLOAD_COMPLETE, PH_COPY [web
//     library thread], or OnFlowInternetUnavailable (1 s after a download error) or
//     OnFlowPackageRefused [web library thread]. Any disconnection before the transfer ends the
//     download at once with OnFlowPairLost [link thread]; the transfer starts only while that
//     same pair is connected.
//     Resend() (any thread): PH_COPY with the package kept from the failed transfer [caller].
//  5. During the transfer: OnFlowTransferProgress… [link listener thread]; then OnFlowFinish once
//     per reason [flow's finish thread], or OnFlowBluetoothUnavailable [the opening thread or the
//     receive watchdog's thread].
//  6. After a failure has been shown: ConnectAgain() (any thread). After success the caller
//     reconnects as it sees fit; Quit() (any thread) enters PH_QUIT.
//
// The flow never touches a widget; every event is raised on a worker thread and a screen posts
// what it shows to its UI thread. Its own state is locked, so every operation may be called from
// any thread. Destroying it cancels a running download and waits for its threads; destroy it
// before the link and the delegate.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "flow/FirmwareOffer.h"
#include "flow/IFirmwareUpdateFlowDelegate.h"
#include "fota/UpdateStartCheck.h"
#include "link/DeviceStatus.h"
#include "link/IBluetoothHandleDelegate.h"
#include "services/WebApiData.h"

class BluetoothHandle;
class BluetoothDevice;
class SWebApi;

class FirmwareUpdateFlow final : public IBluetoothHandleDelegate {
public:
    enum Phase : int {
        PH_NONE = 0,
        PH_DOWNLOAD = 1,
        PH_DOWNLOAD_COMPLETE = 2,
        PH_COPY = 3,
        PH_COPY_COMPLETE = 4,
        PH_QUIT = 5,
    };
    // "PH_DOWNLOAD" … "PH_QUIT"; "PH_NONE" for anything else.
    static const char* phaseName(int phase);

    // The earbuds report this reason when they end an update that must simply be started again:
    // no message, the link reconnects.
    static constexpr int kReasonRetry = 14;

    // Pauses of the flow; tests shorten them.
    struct Timings {
        // After a download error, before OnFlowInternetUnavailable.
        std::chrono::milliseconds downloadErrorPause{1000};
        // How long the finish handling waits for the link to acknowledge the earbuds' verdict
        // before it closes the link.
        std::chrono::milliseconds acknowledgementWait{1000};
    };

    FirmwareUpdateFlow(BluetoothHandle& link, IFirmwareUpdateFlowDelegate* delegate);
    ~FirmwareUpdateFlow();
    FirmwareUpdateFlow(const FirmwareUpdateFlow&) = delete;
    FirmwareUpdateFlow& operator=(const FirmwareUpdateFlow&) = delete;

    void setTimings(const Timings& timings);

    // ---- Link events (pass each on as it comes, on the link's thread) ----

    void OnDeviceStatusChange(DeviceStatus status) override;
    void OnDeviceConnected(bool isConnected, BluetoothDevice* device) override;
    // Before the transfer of a running update (either error): OnFlowPairLost. During the
    // transfer: OnFlowBluetoothUnavailable (Closed or Silent). Otherwise 1 (receive watchdog):
    // OnFlowBluetoothUnavailable; 0 (alive check): OnFlowDeviceLost.
    void OnDeviceDisconnected(int error) override;
    void OnFotaStateChange(int state) override;
    void OnDeviceVersionChange(std::string left, std::string right) override;
    void OnDownloadProgressChange(int percent, uint64_t bytes) override;
    void OnDownloadFinish(bool success, int reason) override;

    // ---- The offer ----

    // Asks the update server for the newest firmware of the connected device's model. False
    // when no device is known or the request could not start (then no event follows).
    bool RequestLatestVersion();
    // Makes an offer of a version answer obtained elsewhere, for the connected device: size
    // request, comparison with the current version, badge, guest rule. Stored as the offer the
    // next StartDownload uses, and returned.
    FirmwareOffer AcceptAnswer(const WEBAPI_FIRMWARE_VERSION& answer);
    // The offer in force (empty before the first one).
    FirmwareOffer offer() const;

    // ---- The update ----

    // The start checks against the last reported status and the persisted update status.
    fota::UpdateStart CheckStart() const;
    // Downloads the offer's package for the connected pair and, when it is complete and sound
    // and that pair is still connected, transfers it. False (nothing started, no event) without
    // an offer or a connected device, or while an update is already running. A download that
    // cannot start ends with OnFlowInternetUnavailable and returns true. The package is kept as
    // packageFileName names it (the address's "&file=" value, else model and version).
    bool StartDownload();
    // Sends the package kept from the last transfer again (the answer to AskResend). False while
    // an update is running. A kept package that is missing or unsound is refused
    // (OnFlowPackageRefused).
    bool Resend();
    // The package kept from the last download exists (a resend is possible).
    bool HasKeptPackage() const;
    // After a failure has been shown: asks the link to connect to the device again.
    void ConnectAgain();
    // Enters PH_QUIT (the screen goes back to its first state).
    void Quit();

    // ---- What the flow knows ----

    // The earbuds' current version (left/right rule; empty until reported).
    std::string currentVersion() const;
    // The device of the last connect attempt (null before), whether that attempt connected, and
    // the last status report.
    BluetoothDevice* device() const;
    bool connected() const;
    DeviceStatus status() const;
    // The phase last entered (PH_NONE before the first).
    int phase() const;
    // True from StartDownload or Resend until the verdict, a refusal or an error ends it.
    bool busy() const;
    // Where the package is kept: the final path of the offer's (or the last transfer's) address.
    std::string keptPackagePath() const;

private:
    bool onVersionAnswer(WEBAPI_DATA* data);
    bool onDownload(WEBAPI_DATA* data);
    FirmwareOffer completeOffer(FirmwareOffer offer);
    void changePhase(int phase);
    // PH_DOWNLOAD_COMPLETE: the .temp file becomes the kept package; then PH_COPY.
    void finishDownload();
    // PH_COPY: judge the package at path, fill the link's FotaBin and open the session.
    // fromDownload: the file was just downloaded for this update (deleted when the update ended
    // meanwhile) rather than kept from an earlier one.
    void copyToEarbuds(const std::string& path, uint64_t announcedSize, bool fromDownload);
    void refusePackage(const std::string& path, const base::Error& why);
    // The update's pair went away before its transfer: stop and delete the download, forget
    // the offer, OnFlowPairLost. Nothing when no update runs.
    void losePair();
    // The pair the update belongs to is the one connected now.
    bool samePairConnectedLocked() const;
    std::string keptPackagePathLocked() const;
    // After the link has acknowledged the verdict (a state report after reportsBefore) or a
    // short wait: persisted flags, the link closed, then OnFlowFinish.
    void handleFinish(bool success, int reason, uint64_t reportsBefore);
    // Ends the running update; false when none was running (its end was already reported).
    // forgetOffer: the next update must begin with a new version check (the offer and the
    // package path taken from it are forgotten).
    bool endUpdate(bool forgetOffer = false);
    IFirmwareUpdateFlowDelegate* delegate() const { return m_delegate; }

    BluetoothHandle& m_link;
    IFirmwareUpdateFlowDelegate* const m_delegate;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    Timings m_timings;
    FirmwareOffer m_offer;
    std::string m_keptPackage;
    // Where the last download was to be kept (its ".temp" file beside it while it runs).
    std::string m_downloadPath;
    uint64_t m_keptAnnouncedSize = 0;
    std::string m_currentVersion;
    BluetoothDevice* m_device = nullptr;
    bool m_connected = false;
    DeviceStatus m_status;
    int m_phase = PH_NONE;
    bool m_busy = false;
    // The running update's transfer was opened (from just before OpenFotaSession to its end).
    bool m_transferring = false;
    // The pair the running (or last) update belongs to, fixed when it starts.
    BluetoothDevice* m_pairDevice = nullptr;
    uint64_t m_pairAddress = 0;
    // Finish reasons reported in the current transfer (emptied when a transfer opens).
    std::set<int> m_handledReasons;
    // Counts the link's state reports, which follow its acknowledgement of the verdict.
    uint64_t m_stateReports = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_finishThreads;

    // Declared last: destroyed first, so no web callback runs once the rest begins to go.
    std::unique_ptr<SWebApi> m_versionApi;
    std::unique_ptr<SWebApi> m_downloadApi;
};

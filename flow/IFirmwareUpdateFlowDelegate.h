#pragma once

#include <cstdint>
#include <string>

#include "base/Error.h"
#include "flow/FirmwareOffer.h"

// Why a transfer lost its earbuds (OnFlowBluetoothUnavailable).
enum class FlowLinkLoss {
    NotReady,  // the transfer could not be opened: the earbuds did not take the session
    Closed,    // the link was closed from the earbuds' side during the transfer
    Silent,    // the earbuds sent nothing for the receive watchdog's 20 s
};

// The events of the firmware update flow (FirmwareUpdateFlow). Every operation has an empty
// default. Events arrive on worker threads (the thread is named with each event), never on a UI
// thread: a receiver that shows anything posts it to its own UI thread. A receiver that blocks
// holds up the thread that raised the event (during a transfer that is the link's listener).
class IFirmwareUpdateFlowDelegate {
public:
    // The flow's own version request (RequestLatestVersion) was answered: the offer, with its
    // size, comparison and flags filled in. Web library thread.
    virtual void OnFlowOffer(const FirmwareOffer& /*offer*/) {}
    // The flow's own version request failed: error.code() is the WEBAPI_DATA error (6 no
    // network, >= 400 the HTTP status), its message the cause ("version check: …"). Web library
    // thread.
    virtual void OnFlowCheckFailed(const base::Error& /*error*/) {}

    // The earbuds' current version changed (the left/right rule applied). Link listener thread.
    virtual void OnFlowCurrentVersion(const std::string& /*current*/) {}

    // A phase began (PH_DOWNLOAD .. PH_QUIT, FirmwareUpdateFlow::Phase). PH_DOWNLOAD: the thread
    // that called StartDownload. PH_DOWNLOAD_COMPLETE and PH_COPY after a download: web library
    // thread. PH_COPY from Resend: the thread that called Resend. PH_COPY_COMPLETE and PH_QUIT
    // after reason 14: the flow's finish thread. PH_QUIT from Quit: the caller's thread.
    virtual void OnFlowPhaseChange(int /*phase*/) {}

    // Download progress: the web library's percent and bytes received. Web library thread.
    virtual void OnFlowDownloadProgress(int /*percent*/, uint64_t /*bytes*/) {}
    // Transfer progress: the earbuds' percent and the bytes sent, halved for every model other
    // than "VX-R175", to be shown against the package size. Link listener thread.
    virtual void OnFlowTransferProgress(int /*percent*/, uint64_t /*bytes*/) {}

    // The download failed (error.code(): WEBAPI_ERROR_CODE or the HTTP status; its message the
    // cause, "download: …"); raised one second after
    // the failure so that a failing server is not hammered by a user pressing again. No file is
    // left that looks complete, and the offer is forgotten: the next update begins with a new
    // version check. Web library thread.
    virtual void OnFlowInternetUnavailable(const base::Error& /*error*/) {}
    // The transfer lost its earbuds (cause): it could not be opened (the thread that opened it:
    // web library thread or the Resend caller), or the link closed or fell silent during it (the
    // receive watchdog's thread). The screen goes back to the welcome screen.
    virtual void OnFlowBluetoothUnavailable(FlowLinkLoss /*cause*/) {}
    // The link's alive check failed outside an update (OnDeviceDisconnected(0)). Link thread.
    virtual void OnFlowDeviceLost() {}
    // The pair the update belongs to went away (any disconnection) before its package was sent,
    // or another pair is connected in its place: the download was stopped, its file deleted, and
    // nothing reached any earbuds. Raised once, instead of OnFlowDeviceLost. Link thread, or the
    // web library thread when the pair is found missing before the transfer.
    virtual void OnFlowPairLost() {}
    // The package is unfit to be sent (why: the step that found it and the fault, "reading entry
    // table: …") and was deleted; the earbuds were not
    // touched, and the offer is forgotten (as for OnFlowInternetUnavailable). Web library thread
    // after a download; the Resend caller's thread for a kept package that is gone or unsound.
    virtual void OnFlowPackageRefused(const base::Error& /*why*/) {}

    // The earbuds' verdict, once per reason per transfer, after the flow has stored the update
    // status, the badge and (on success) the update time, and closed the link. Reason 14: the
    // flow has already asked the link to connect again and entered PH_QUIT; nothing is to be
    // shown. Success: the caller reconnects (the screen: ReconnectDevice of its owner). Failure:
    // the earbuds were reset and unpaired; the caller shows the reason and then may call
    // FirmwareUpdateFlow::ConnectAgain. The flow's finish thread.
    virtual void OnFlowFinish(bool /*success*/, int /*reason*/) {}

protected:
    ~IFirmwareUpdateFlowDelegate() = default;
};

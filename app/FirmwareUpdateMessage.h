#pragma once

#include <string>

#include "base/Error.h"
#include "flow/IFirmwareUpdateFlowDelegate.h"

// The title and text of each message the firmware update screen shows when an update cannot go
// on, chosen by what really happened, so that the user reads the cause and what to do next.
struct FirmwareUpdateMessage {
    std::string title;
    std::string text;

    // A version check or download that failed with a web request error (code: WEBAPI_ERROR_CODE
    // or an HTTP status), its cause added where the text has room for it.
    static FirmwareUpdateMessage ForRequestError(const base::Error& error);
    // A transfer that lost its earbuds.
    static FirmwareUpdateMessage ForLinkLoss(FlowLinkLoss cause);
    // The update's earbuds went away before anything was sent.
    static FirmwareUpdateMessage ForPairLost();
    // A downloaded or kept package found unsound before the earbuds were touched, and why.
    static FirmwareUpdateMessage ForPackageRefused(const base::Error& why);
    // The earbuds ended the transfer with a failure reason.
    static FirmwareUpdateMessage ForEarbudsRefused(int reason);
};

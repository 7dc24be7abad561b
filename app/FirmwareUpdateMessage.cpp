#include "app/FirmwareUpdateMessage.h"

#include <string>

#include "services/SLocale.h"
#include "services/WebApiFailure.h"

namespace {

constexpr const char* kUpdateTitle = "MNU_FirmwareUpdateTitle";
constexpr const char* kFailTitle = "MNU_Pelk_UpdateFailTitle";

FirmwareUpdateMessage Message(const char* title, const std::string& text) {
    return FirmwareUpdateMessage{AfxGetStrRes(title), text};
}

}  // namespace

FirmwareUpdateMessage FirmwareUpdateMessage::ForRequestError(const base::Error& error) {
    return Message(kUpdateTitle, services::WebApiFailure::of(error.code()).userText(error));
}

FirmwareUpdateMessage FirmwareUpdateMessage::ForLinkLoss(FlowLinkLoss cause) {
    switch (cause) {
        case FlowLinkLoss::Closed:
            return Message(kFailTitle, AfxGetStrRes("MSG_EarbudsLinkLostDuringUpdate"));
        case FlowLinkLoss::Silent:
            return Message(kFailTitle, AfxGetStrRes("MSG_EarbudsSilentDuringUpdate"));
        case FlowLinkLoss::NotReady:
            break;
    }
    return Message("MNU_BluetoothUnavailable",
                   AfxGetStrRes("MSG_BluetoothUnavailableDescription2"));
}

FirmwareUpdateMessage FirmwareUpdateMessage::ForPairLost() {
    return Message(kFailTitle, AfxGetStrRes("MSG_EarbudsLostDuringDownload"));
}

FirmwareUpdateMessage FirmwareUpdateMessage::ForPackageRefused(const base::Error& why) {
    std::string text = AfxGetStrRes("MSG_FirmwarePackageDamaged");
    if (!why.message().empty()) {
        text += "\n" + AfxGetStrResFormat("MSG_ErrorCause", 1, why.message());
    }
    return Message(kFailTitle, text);
}

FirmwareUpdateMessage FirmwareUpdateMessage::ForEarbudsRefused(int reason) {
    // The specified text and code stay; the advice stands between them.
    return Message(kFailTitle, AfxGetStrRes("MSG_Pelk_UpdateFailDescription1") + " " +
                                   AfxGetStrRes("MSG_UpdateRefusedAdvice") + "\nErrorCode[" +
                                   std::to_string(reason) + "]");
}

#include "app/FirmwareUpdateMessage.h"

#include <string>

#include "platform/Paths.h"
#include "services/SLocale.h"
#include "services/SUtil.h"
#include "services/WebApiData.h"

namespace {

constexpr const char* kUpdateTitle = "MNU_FirmwareUpdateTitle";
constexpr const char* kFailTitle = "MNU_Pelk_UpdateFailTitle";

FirmwareUpdateMessage Message(const char* title, const std::string& text) {
    return FirmwareUpdateMessage{AfxGetStrRes(title), text};
}

}  // namespace

FirmwareUpdateMessage FirmwareUpdateMessage::ForRequestError(int error) {
    switch (error) {
        case WEBAPI_ERROR_NO_SERVER:
            return Message(kUpdateTitle,
                           AfxGetStrResFormat("MSG_NoUpdateServer", 1,
                                              SUtil::GetUserFolder() + "/setting.xml"));
        case WEBAPI_ERROR_NO_TEMP_FOLDER:
            return Message(kUpdateTitle,
                           AfxGetStrResFormat("MSG_Zephiro_NoTempFolder", 1,
                                              platform::paths::tempFolder().string()));
        case WEBAPI_ERROR_INTERRUPTED:
            return Message(kUpdateTitle, AfxGetStrRes("MSG_DownloadInterrupted"));
        case WEBAPI_ERROR_DISK_FULL:
        case WEBAPI_ERROR_FILE:
            return Message(kUpdateTitle, AfxGetStrRes("MSG_DiskFullForUpdate"));
        case WEBAPI_ERROR_BAD_ADDRESS:
            return Message(kUpdateTitle, AfxGetStrRes("MSG_UpdateAddressRefused"));
        case WEBAPI_ERROR_BAD_ANSWER:
            return Message(kUpdateTitle,
                           AfxGetStrResFormat("MSG_UpdateServerError", 1, std::to_string(error)));
        default:
            break;
    }
    if (error >= 400) {
        return Message(kUpdateTitle, AfxGetStrResFormat("MSG_UpdateServerError", 1,
                                                        "HTTP " + std::to_string(error)));
    }
    // No connection could be made (or a failure below the server's answer, such as TLS).
    return Message(kUpdateTitle, AfxGetStrRes("MSG_InternetUnavailableDescription"));
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

FirmwareUpdateMessage FirmwareUpdateMessage::ForPackageRefused() {
    return Message(kFailTitle, AfxGetStrRes("MSG_FirmwarePackageDamaged"));
}

FirmwareUpdateMessage FirmwareUpdateMessage::ForEarbudsRefused(int reason) {
    // The specified text and code stay; the advice stands between them.
    return Message(kFailTitle, AfxGetStrRes("MSG_Pelk_UpdateFailDescription1") + " " +
                                   AfxGetStrRes("MSG_UpdateRefusedAdvice") + "\nErrorCode[" +
                                   std::to_string(reason) + "]");
}

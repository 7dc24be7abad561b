#include "services/WebApiFailure.h"

#include "platform/Paths.h"
#include "services/SLocale.h"
#include "services/SUtil.h"
#include "services/WebApiData.h"

namespace services {

WebApiFailure WebApiFailure::of(int error) {
    switch (error) {
        case WEBAPI_ERROR_NETWORK:
            return {"no-network", "MSG_InternetUnavailableDescription", "",
                    "the update server cannot be reached (no network connection)", true};
        case WEBAPI_ERROR_NO_SERVER:
            return {"no-network", "MSG_NoUpdateServer", SUtil::GetUserFolder() + "/setting.xml",
                    "no update server is set: set AURALIS_UPDATE_URL, or ServerUrl in the Update "
                    "section of setting.xml",
                    false};
        case WEBAPI_ERROR_NO_TEMP_FOLDER: {
            const std::string folder = platform::paths::tempFolder().string();
            return {"no-temp-folder", "MSG_Zephiro_NoTempFolder", folder,
                    "nothing was downloaded: the download folder " + folder +
                        " is refused (it must be a folder of your own that others cannot write "
                        "to; AURALIS_TEMP_DIR names another)",
                    false};
        }
        case WEBAPI_ERROR_INTERRUPTED:
            return {"download-failed", "MSG_DownloadInterrupted", "",
                    "the update server's answer broke off, stalled or was longer than allowed",
                    true};
        case WEBAPI_ERROR_DISK_FULL:
            return {"disk-full", "MSG_DiskFullForUpdate", "",
                    "the package cannot be stored: the disk is full", false};
        case WEBAPI_ERROR_FILE:
            return {"disk-full", "MSG_DiskFullForUpdate", "",
                    "the package cannot be written to the temporary folder", true};
        case WEBAPI_ERROR_BAD_ADDRESS:
            return {"refused-address", "MSG_UpdateAddressRefused", "",
                    "the update server gave an address that is not followed (only https, or "
                    "plain http to this machine)",
                    false};
        case WEBAPI_ERROR_BAD_ANSWER:
            return {
                "server-error", "MSG_UpdateServerError", std::to_string(error),
                "the update server's answer cannot be used (error " + std::to_string(error) + ")",
                true};
        default:
            break;
    }
    if (error >= 400) {
        return {"server-error", "MSG_UpdateServerError", "HTTP " + std::to_string(error),
                "the update server answered HTTP " + std::to_string(error), false};
    }
    // A failure below the server's answer (TLS, a transfer that failed otherwise): the screen
    // speaks of the connection, the terminal of an answer that cannot be used.
    return {"server-error", "MSG_InternetUnavailableDescription", "",
            "the update server's answer cannot be used (error " + std::to_string(error) + ")",
            true};
}

std::string WebApiFailure::userText(const base::Error& cause) const {
    std::string text =
        argument.empty() ? AfxGetStrRes(textKey) : AfxGetStrResFormat(textKey, 1, argument);
    if (roomForCause && !cause.message().empty()) {
        text += "\n" + AfxGetStrResFormat("MSG_ErrorCause", 1, cause.message());
    }
    return text;
}

std::string WebApiFailure::englishText(const base::Error& cause) const {
    if (roomForCause && !cause.message().empty()) {
        return english + "; " + cause.message();
    }
    return english;
}

}  // namespace services

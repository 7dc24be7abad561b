#include "flow/FirmwareUpdateFlow.h"

#include <ctime>
#include <filesystem>
#include <system_error>

#include "base/Log.h"
#include "fota/DownloadFilePath.h"
#include "fota/FirmwareVersionText.h"
#include "fota/PackageFormat.h"
#include "fota/PackageVerdict.h"
#include "link/BluetoothDevice.h"
#include "link/BluetoothHandle.h"
#include "platform/bluetooth/BluetoothAddress.h"
#include "services/EnvironVar.h"
#include "services/SUtil.h"
#include "services/SWebApi.h"

namespace {

namespace fs = std::filesystem;

// The model whose transfer progress counts every byte once; the others count each byte twice.
constexpr const char* kFullCountModel = "VX-R175";

// The failure a web callback reports, in plain words, with its error as the code. An error
// without a code is an answer that cannot be used.
base::Error causeOf(const WEBAPI_DATA& data) {
    const int code = data.error != 0 ? data.error : WEBAPI_ERROR_BAD_ANSWER;
    if (data.cause != nullptr && *data.cause) {
        return base::Error(data.cause->message(), code);
    }
    return base::Error(code == WEBAPI_ERROR_BAD_ANSWER
                           ? std::string("the server's answer cannot be used")
                           : "the request failed with error " + std::to_string(code),
                       code);
}

uint32_t nowSeconds() {
    return static_cast<uint32_t>(static_cast<uint64_t>(std::time(nullptr)) & 0xFFFFFFFFu);
}

}  // namespace

const char* FirmwareUpdateFlow::phaseName(int phase) {
    switch (phase) {
        case PH_DOWNLOAD:
            return "PH_DOWNLOAD";
        case PH_DOWNLOAD_COMPLETE:
            return "PH_DOWNLOAD_COMPLETE";
        case PH_COPY:
            return "PH_COPY";
        case PH_COPY_COMPLETE:
            return "PH_COPY_COMPLETE";
        case PH_QUIT:
            return "PH_QUIT";
        default:
            return "PH_NONE";
    }
}

FirmwareUpdateFlow::FirmwareUpdateFlow(BluetoothHandle& link, IFirmwareUpdateFlowDelegate* delegate)
    : m_link(link), m_delegate(delegate) {
    m_versionApi = std::make_unique<SWebApi>(
        [this](WEBAPI_DATA* data) { return onVersionAnswer(data); }, false);
    m_downloadApi =
        std::make_unique<SWebApi>([this](WEBAPI_DATA* data) { return onDownload(data); }, true);
    m_downloadApi->SetMaxDownloadBytes(fota::kMaxPackageBytes);
}

FirmwareUpdateFlow::~FirmwareUpdateFlow() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    // Cancels the requests and waits for their callbacks; no web event comes afterwards.
    m_versionApi.reset();
    m_downloadApi.reset();
    std::vector<std::thread> finishers;
    {
        std::lock_guard lock(m_mutex);
        finishers.swap(m_finishThreads);
    }
    for (std::thread& thread : finishers) {
        thread.join();
    }
}

void FirmwareUpdateFlow::setTimings(const Timings& timings) {
    std::lock_guard lock(m_mutex);
    m_timings = timings;
}

// ---- Link events ----

void FirmwareUpdateFlow::OnDeviceStatusChange(DeviceStatus status) {
    std::lock_guard lock(m_mutex);
    m_status = status;
}

void FirmwareUpdateFlow::OnDeviceConnected(bool isConnected, BluetoothDevice* device) {
    _Log(LOG_INFO, "FirmwareUpdateFlow::OnDeviceConnected", __LINE__,
         "OnDeviceConnected: isConnected[%d]", isConnected ? 1 : 0);
    bool otherPair = false;
    {
        std::lock_guard lock(m_mutex);
        m_connected = isConnected;
        // The status and versions of a new pair may arrive before this event; they are kept.
        if (device != nullptr) {
            m_device = device;
        }
        otherPair = isConnected && m_busy && !m_transferring && device != nullptr &&
                    device->address != m_pairAddress;
    }
    if (otherPair) {
        // Another pair in place of the one the download is for: it never receives it.
        losePair();
    }
}

void FirmwareUpdateFlow::OnDeviceDisconnected(int error) {
    _Log(LOG_INFO, "FirmwareUpdateFlow::OnDeviceDisconnected", __LINE__,
         "OnDeviceDisconnected: DisconnectError[%d]", error);
    bool downloading = false;
    bool transferring = false;
    {
        std::lock_guard lock(m_mutex);
        m_connected = false;
        downloading = m_busy && !m_transferring;
        transferring = m_busy && m_transferring;
    }
    if (downloading) {
        losePair();
        return;
    }
    if (transferring || error != 0) {
        const FlowLinkLoss cause =
            m_link.linkClosedByPeer() || error == 0 ? FlowLinkLoss::Closed : FlowLinkLoss::Silent;
        const bool ended = endUpdate();
        if ((ended || !transferring) && delegate() != nullptr) {
            delegate()->OnFlowBluetoothUnavailable(cause);
        }
        return;
    }
    if (delegate() != nullptr) {
        delegate()->OnFlowDeviceLost();
    }
}

void FirmwareUpdateFlow::losePair() {
    std::string kept;
    {
        std::lock_guard lock(m_mutex);
        if (!m_busy || m_transferring) {
            return;
        }
        kept = m_downloadPath;
    }
    if (!endUpdate(true)) {
        return;  // ended meanwhile, and said so
    }
    _Log(LOG_WARNING, "FirmwareUpdateFlow::losePair", __LINE__,
         "the earbuds of the update went away: download stopped, nothing sent");
    // No callback of the download comes after this; its own partial file goes with it.
    m_downloadApi->Cancel();
    if (!kept.empty()) {
        std::error_code ignored;
        fs::remove(kept + ".temp", ignored);
    }
    if (delegate() != nullptr) {
        delegate()->OnFlowPairLost();
    }
}

bool FirmwareUpdateFlow::samePairConnectedLocked() const {
    return m_connected && m_device != nullptr && m_device->address == m_pairAddress;
}

void FirmwareUpdateFlow::OnFotaStateChange(int /*state*/) {
    {
        std::lock_guard lock(m_mutex);
        ++m_stateReports;
    }
    m_changed.notify_all();
}

void FirmwareUpdateFlow::OnDeviceVersionChange(std::string left, std::string right) {
    static constexpr const char* kMethod = "FirmwareUpdateFlow::OnDeviceVersionChange";
    _Log(LOG_INFO, kMethod, __LINE__,
         "OnDeviceVersionChange: deviceVersionL[%s] deviceVersionR[%s]", left.c_str(),
         right.c_str());
    if (!left.empty() && !right.empty() && left != right) {
        _Log(LOG_INFO, kMethod, __LINE__, "OnDeviceVersionChange: Device version are mismatched");
    }
    const std::string current = fota::currentVersionOf(left, right);
    {
        std::lock_guard lock(m_mutex);
        m_currentVersion = current;
    }
    if (delegate() != nullptr) {
        delegate()->OnFlowCurrentVersion(current);
    }
}

void FirmwareUpdateFlow::OnDownloadProgressChange(int percent, uint64_t bytes) {
    _Log(LOG_INFO, "FirmwareUpdateFlow::OnDownloadProgressChange", __LINE__,
         "OnDownloadProgressChange: Percent[%d] downloaded[%lld]", percent,
         static_cast<long long>(bytes));
    BluetoothDevice* device = this->device();
    if (device == nullptr || device->modelCode() != kFullCountModel) {
        bytes /= 2;
    }
    if (delegate() != nullptr) {
        delegate()->OnFlowTransferProgress(percent, bytes);
    }
}

void FirmwareUpdateFlow::OnDownloadFinish(bool success, int reason) {
    _Log(LOG_INFO, "FirmwareUpdateFlow::OnDownloadFinish", __LINE__,
         "OnDownloadFinish: Success[%d] ErrorCode[%d]", success ? 1 : 0, reason);
    std::lock_guard lock(m_mutex);
    if (m_stopping || !m_handledReasons.insert(reason).second) {
        // Each reason is reported once per transfer.
        return;
    }
    // The link acknowledges the verdict after this event returns; the link is closed only
    // afterwards, on a thread of the flow's own.
    const uint64_t reportsBefore = m_stateReports;
    m_finishThreads.emplace_back(
        [this, success, reason, reportsBefore] { handleFinish(success, reason, reportsBefore); });
}

void FirmwareUpdateFlow::handleFinish(bool success, int reason, uint64_t reportsBefore) {
    BluetoothDevice* device = nullptr;
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, m_timings.acknowledgementWait,
                           [&] { return m_stopping || m_stateReports > reportsBefore; });
        device = m_pairDevice != nullptr ? m_pairDevice : m_device;
    }
    _Log(LOG_INFO, "FirmwareUpdateFlow::handleFinish", __LINE__,
         "Dispatcher_Invoked:INVOKE_COPY_FW_FINISH success[%d] reason[%d]", success ? 1 : 0,
         reason);
    EnvironVar::SetUpdateFWStatus(success ? 1 : 0);
    EnvironVar::SetIsNotifyUpdateFW(success ? 0 : 1);
    m_link.DisConnectToDevice();
    {
        std::lock_guard lock(m_mutex);
        m_connected = false;
    }
    if (reason == kReasonRetry) {
        changePhase(PH_QUIT);
        if (device != nullptr) {
            m_link.ConnectToDevice(device);
        }
    } else if (success) {
        // Remembered for the pair that was updated, and as the last update of any pair.
        EnvironVar::SetLastTimeUpdateFW(
            platform::bluetooth::formatAddress(device != nullptr ? device->address : 0),
            nowSeconds());
        // The earbuds have it: the package is of no further use in the temporary folder (after
        // a failure it stays, to be sent again).
        std::string sent;
        {
            std::lock_guard lock(m_mutex);
            sent.swap(m_keptPackage);
        }
        if (!sent.empty()) {
            std::error_code ignored;
            fs::remove(sent, ignored);
        }
        changePhase(PH_COPY_COMPLETE);
    }
    endUpdate();
    if (delegate() != nullptr) {
        delegate()->OnFlowFinish(success, reason);
    }
}

// ---- The offer ----

bool FirmwareUpdateFlow::RequestLatestVersion() {
    BluetoothDevice* device = this->device();
    if (device == nullptr) {
        return false;
    }
    return m_versionApi->GetFirmwareVersion(device->modelCode());
}

bool FirmwareUpdateFlow::onVersionAnswer(WEBAPI_DATA* data) {
    if (data == nullptr) {
        return false;
    }
    if (data->type == WRT_ANSWER && data->answer != nullptr) {
        const auto& answer = *static_cast<const WEBAPI_FIRMWARE_VERSION*>(data->answer);
        const FirmwareOffer offer = AcceptAnswer(answer);
        if (delegate() != nullptr) {
            delegate()->OnFlowOffer(offer);
        }
        return true;
    }
    if (data->type == WRT_ERROR || data->type == WRT_ANSWER) {
        _Log(LOG_INFO, "FirmwareUpdateFlow::onVersionAnswer", __LINE__, "Get version error[%d]",
             data->error);
        if (delegate() != nullptr) {
            delegate()->OnFlowCheckFailed(causeOf(*data).within("version check"));
        }
        return true;
    }
    return false;
}

FirmwareOffer FirmwareUpdateFlow::AcceptAnswer(const WEBAPI_FIRMWARE_VERSION& answer) {
    return completeOffer(FirmwareOffer::fromAnswer(answer, EnvironVar::GetLanguage()));
}

FirmwareOffer FirmwareUpdateFlow::completeOffer(FirmwareOffer offer) {
    offer.size = m_downloadApi->GetDownloadFileSize(offer.url);
    offer.sizeText = SUtil::GetStringSizeFromByte(offer.size);
    offer.currentVersion = currentVersion();
    _Log(LOG_INFO, "FirmwareUpdateFlow::completeOffer", __LINE__,
         "INVOKE_CHECK_UPDATE_FIRMWARE curVersion[%s] newVersion[%s]", offer.currentVersion.c_str(),
         offer.newVersion.c_str());
    offer.newer = fota::isNewerVersion(offer.newVersion, offer.currentVersion);
    EnvironVar::SetIsNotifyUpdateFW(offer.newer ? 1 : 0);
    // The guest setting offers firmware whatever the earbuds run.
    const std::string compared = EnvironVar::IsSupportGuest() != 0 ? "" : offer.currentVersion;
    offer.offered = fota::isNewerVersion(offer.newVersion, compared);
    std::lock_guard lock(m_mutex);
    m_offer = offer;
    return offer;
}

FirmwareOffer FirmwareUpdateFlow::offer() const {
    std::lock_guard lock(m_mutex);
    return m_offer;
}

// ---- The update ----

fota::UpdateStart FirmwareUpdateFlow::CheckStart() const {
    std::string model;
    DeviceStatus status;
    {
        std::lock_guard lock(m_mutex);
        model = m_device != nullptr ? m_device->modelCode() : std::string();
        status = m_status;
    }
    return fota::checkUpdateStart(model, status.batteryLeft, status.batteryRight,
                                  status.wearingDetection, EnvironVar::GetUpdateFWStatus());
}

bool FirmwareUpdateFlow::StartDownload() {
    std::string url;
    std::string temporary;
    {
        std::lock_guard lock(m_mutex);
        if (m_busy || m_offer.url.empty() || m_stopping || m_device == nullptr) {
            return false;
        }
        m_busy = true;
        m_transferring = false;
        m_pairDevice = m_device;
        m_pairAddress = m_device->address;
        url = m_offer.url;
        m_keptAnnouncedSize = m_offer.size;
        m_keptPackage = keptPackagePathLocked();
        m_downloadPath = m_keptPackage;
        temporary = m_keptPackage.empty() ? std::string() : m_keptPackage + ".temp";
    }
    if (fota::safePackageFileName(url).empty()) {
        _Log(LOG_INFO, "FirmwareUpdateFlow::GetDownLoadFilePath", __LINE__,
             "GetDownLoadFilePath: Can not find file name in url: %s", url.c_str());
    }
    if (temporary.empty()) {
        // The temporary folder is refused: no path is ever built from an empty folder.
        endUpdate();
        if (delegate() != nullptr) {
            delegate()->OnFlowInternetUnavailable(
                base::Error("the temporary folder is refused", WEBAPI_ERROR_NO_TEMP_FOLDER)
                    .within("download"));
        }
        return true;
    }
    // A leftover of an earlier run must never pass for this download.
    std::error_code ignored;
    fs::remove(temporary, ignored);
    changePhase(PH_DOWNLOAD);
    if (!m_downloadApi->GetDownLoad(url, temporary)) {
        if (endUpdate(true) && delegate() != nullptr) {
            delegate()->OnFlowInternetUnavailable(
                base::Error("the request could not be started", WEBAPI_ERROR_FAILED)
                    .within("download"));
        }
    }
    return true;
}

bool FirmwareUpdateFlow::onDownload(WEBAPI_DATA* data) {
    static constexpr const char* kMethod = "FirmwareUpdateFlow::WebApiCallback";
    if (data == nullptr) {
        return false;
    }
    switch (data->type) {
        case WRT_PROGRESS: {
            const int percent = data->progress != nullptr ? data->progress->percent : 0;
            const int bytes = data->progress != nullptr ? data->progress->curLength : 0;
            _Log(LOG_INFO, kMethod, __LINE__,
                 "WebApiCallback[WRT_PROGRESS] percent[%d] curlength[%d]", percent, bytes);
            {
                // An update that ended meanwhile (its pair went away) downloads no further.
                std::lock_guard lock(m_mutex);
                if (m_stopping || !m_busy) {
                    return false;
                }
            }
            if (delegate() != nullptr) {
                delegate()->OnFlowDownloadProgress(percent, static_cast<uint64_t>(bytes));
            }
            return true;
        }
        case WRT_DOWNLOAD_COMPLETED:
            _Log(LOG_INFO, kMethod, __LINE__, "WebApiCallback[WRT_PROGRESS]");
            finishDownload();
            return true;
        case WRT_ERROR: {
            _Log(LOG_INFO, kMethod, __LINE__, "WebApiCallback[WRT_ERROR] error[%d]", data->error);
            {
                // A pause before the message, so a failing server is not asked again at once.
                std::unique_lock lock(m_mutex);
                m_changed.wait_for(lock, m_timings.downloadErrorPause, [&] { return m_stopping; });
            }
            if (endUpdate(true) && delegate() != nullptr) {
                delegate()->OnFlowInternetUnavailable(causeOf(*data).within("download"));
            }
            return true;
        }
        default:
            return false;
    }
}

void FirmwareUpdateFlow::finishDownload() {
    static constexpr const char* kMethod = "FirmwareUpdateFlow::ChangePhase";
    std::string finalPath;
    uint64_t announced = 0;
    bool running = false;
    {
        std::lock_guard lock(m_mutex);
        finalPath = m_downloadPath;
        announced = m_keptAnnouncedSize;
        running = m_busy && !m_transferring;
    }
    const std::string temporary = finalPath + ".temp";
    if (!running) {
        // The update ended while the download completed (its pair went away): nobody takes it.
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return;
    }
    changePhase(PH_DOWNLOAD_COMPLETE);
    std::error_code error;
    if (SUtil::FileExist(finalPath) && !fs::remove(finalPath, error)) {
        _Log(LOG_WARNING, kMethod, __LINE__, "DeleteFile fail - (%d)%s", error.value(),
             error.message().c_str());
        refusePackage(temporary, base::Error(error.message(), error.value())
                                     .within("putting the downloaded package in place"));
        return;
    }
    fs::rename(temporary, finalPath, error);
    if (error) {
        _Log(LOG_WARNING, kMethod, __LINE__, "MoveFile fail: Error[%d] File[%s]", error.value(),
             finalPath.c_str());
        refusePackage(temporary, base::Error(error.message(), error.value())
                                     .within("putting the downloaded package in place"));
        return;
    }
    _Log(LOG_INFO, kMethod, __LINE__, "Binary is ready to send to buds Path[%s]",
         finalPath.c_str());
    copyToEarbuds(finalPath, announced, true);
}

void FirmwareUpdateFlow::copyToEarbuds(const std::string& path, uint64_t announcedSize,
                                       bool fromDownload) {
    fota::PackageVerdict verdict = fota::checkPackage(path, announcedSize);
    if (!verdict.valid) {
        refusePackage(path, verdict.error);
        return;
    }
    bool running = false;
    bool samePair = false;
    {
        std::lock_guard lock(m_mutex);
        running = m_busy;
        samePair = samePairConnectedLocked();
        // From here a lost link is the transfer's: the pair check above and the open below
        // are one step for OnDeviceConnected and OnDeviceDisconnected.
        m_transferring = running && samePair;
        m_handledReasons.clear();
    }
    if (!running || !samePair) {
        _Log(LOG_WARNING, "FirmwareUpdateFlow::copyToEarbuds", __LINE__,
             "the earbuds of the update are not connected: nothing sent");
        if (fromDownload) {
            std::error_code ignored;
            fs::remove(path, ignored);
        }
        if (running && endUpdate(true) && delegate() != nullptr) {
            delegate()->OnFlowPairLost();
        }
        return;
    }
    EnvironVar::SetUpdateFWStatus(1);
    changePhase(PH_COPY);
    verdict.info.path = SUtil::CStringToChar(path);
    m_link.setFotaBin(verdict.info);
    if (!m_link.OpenFotaSession()) {
        if (endUpdate() && delegate() != nullptr) {
            delegate()->OnFlowBluetoothUnavailable(FlowLinkLoss::NotReady);
        }
    }
}

void FirmwareUpdateFlow::refusePackage(const std::string& path, const base::Error& why) {
    _Log(LOG_WARNING, "FirmwareUpdateFlow::refusePackage", __LINE__,
         "package refused, earbuds untouched: %s", why.message().c_str());
    if (!path.empty()) {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
    // Nothing is kept to send again: the next start downloads afresh, after a new check.
    EnvironVar::SetUpdateFWStatus(1);
    if (endUpdate(true) && delegate() != nullptr) {
        delegate()->OnFlowPackageRefused(why);
    }
}

bool FirmwareUpdateFlow::Resend() {
    std::string path;
    uint64_t announced = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_busy || m_stopping || m_device == nullptr) {
            return false;
        }
        m_busy = true;
        m_transferring = false;
        m_pairDevice = m_device;
        m_pairAddress = m_device->address;
        path = m_keptPackage;
        announced = m_keptAnnouncedSize;
        if (path.empty()) {
            path = keptPackagePathLocked();
            announced = 0;
        }
    }
    if (path.empty()) {
        refusePackage("", base::Error("no package is kept from the last update"));
        return true;
    }
    copyToEarbuds(path, announced, false);
    return true;
}

std::string FirmwareUpdateFlow::keptPackagePath() const {
    std::lock_guard lock(m_mutex);
    if (!m_keptPackage.empty()) {
        return m_keptPackage;
    }
    return keptPackagePathLocked();
}

std::string FirmwareUpdateFlow::keptPackagePathLocked() const {
    if (m_offer.url.empty() || m_device == nullptr) {
        return {};
    }
    return fota::packageFilePath(fota::packageFileName(m_offer.url, m_device->modelCode(),
                                                       m_offer.newVersion, m_device->address),
                                 false);
}

bool FirmwareUpdateFlow::HasKeptPackage() const {
    const std::string path = keptPackagePath();
    std::error_code error;
    return !path.empty() && fs::is_regular_file(path, error);
}

void FirmwareUpdateFlow::ConnectAgain() {
    BluetoothDevice* device = nullptr;
    {
        std::lock_guard lock(m_mutex);
        device = m_pairDevice != nullptr ? m_pairDevice : m_device;
    }
    if (device != nullptr) {
        m_link.ConnectToDevice(device);
    }
}

void FirmwareUpdateFlow::Quit() {
    changePhase(PH_QUIT);
}

void FirmwareUpdateFlow::changePhase(int phase) {
    _Log(LOG_INFO, "FirmwareUpdateFlow::ChangePhase", __LINE__, "ChangePhase: %s",
         phaseName(phase));
    {
        std::lock_guard lock(m_mutex);
        m_phase = phase;
    }
    if (delegate() != nullptr) {
        delegate()->OnFlowPhaseChange(phase);
    }
}

bool FirmwareUpdateFlow::endUpdate(bool forgetOffer) {
    bool wasBusy = false;
    {
        std::lock_guard lock(m_mutex);
        wasBusy = m_busy;
        m_busy = false;
        m_transferring = false;
        if (forgetOffer && wasBusy) {
            // The next package is found from the next offer.
            m_offer = FirmwareOffer();
            m_keptPackage.clear();
        }
    }
    m_changed.notify_all();
    return wasBusy;
}

// ---- What the flow knows ----

std::string FirmwareUpdateFlow::currentVersion() const {
    std::lock_guard lock(m_mutex);
    return m_currentVersion;
}

BluetoothDevice* FirmwareUpdateFlow::device() const {
    std::lock_guard lock(m_mutex);
    return m_device;
}

bool FirmwareUpdateFlow::connected() const {
    std::lock_guard lock(m_mutex);
    return m_connected;
}

DeviceStatus FirmwareUpdateFlow::status() const {
    std::lock_guard lock(m_mutex);
    return m_status;
}

int FirmwareUpdateFlow::phase() const {
    std::lock_guard lock(m_mutex);
    return m_phase;
}

bool FirmwareUpdateFlow::busy() const {
    std::lock_guard lock(m_mutex);
    return m_busy;
}

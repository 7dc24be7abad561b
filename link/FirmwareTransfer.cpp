// The firmware transfer of the device link, both generations. After OpenFotaSession the earbuds
// drive the transfer: they ask for an MTU, name the entry they want, ask for its data (second
// generation) or acknowledge each fragment (first generation), report their progress and finally
// whether the update succeeded. Every handler runs on the listener thread; the data messages go
// out from inside the handler that received the request. Log lines keep the names the link's log
// has always used (BluetoothHandle::...).
//
// Beyond the bare protocol the transfer refuses what would put wrong bytes on the wire:
//  - a fragment that cannot be read is never sent; the transfer stops and reports
//    OnDownloadFinish(false, BluetoothHandle::kFotaReasonPackageUnreadable); later requests of the
//    session are ignored (the earbuds' own time-out ends their side);
//  - an MTU of 0 is not taken (the request is not answered; the fragment size stays), and an MTU
//    larger than a data message can carry is cut to what it can carry;
//  - a first-generation acknowledgement of the fragment just sent brings the fragment that starts
//    where it ended, even when the fragment size changed meanwhile (no bytes skipped or sent
//    twice); an acknowledgement of another position brings the fragment one fragment size on;
//  - a first-generation acknowledgement whose next fragment would start at or beyond the entry's
//    end (it does not match the fragment just sent) sends nothing more for that entry: the
//    earbuds have acknowledged a position that leaves nothing of the entry unsent;
//  - a data request beyond the entry's end sends nothing; data is never sent before an entry
//    was requested, nor an entry the 3-byte positions cannot address.

#include "link/FirmwareTransfer.h"

#include <algorithm>

#include "base/Log.h"
#include "fota/FragmentReader.h"
#include "link/BluetoothHandle.h"
#include "link/FrameCodec.h"
#include "link/MessageIds.h"
#include "link/PayloadReader.h"
#include "platform/TickCount.h"

namespace {

// The second generation offers this many data bytes per message.
constexpr int kSecondFragmentSize = 650;
// Sub-ids of the control message.
constexpr uint8_t kSubIdSendMtu = 0;
constexpr uint8_t kSubIdDownloadEntry = 1;
constexpr uint8_t kSubIdSendPause = 2;
constexpr uint8_t kSubIdSendResume = 3;
// Types of the update report.
constexpr uint8_t kUpdateCurrentDownloadedPercent = 0;
constexpr uint8_t kUpdateStateChanged = 1;
constexpr int kFotaSessionClosed = 0;
// The earbuds' failure reason after which they are neither reset nor unpaired.
constexpr int kReasonKeepPairing = 14;
// Id, position (4 bytes) and checksum around the data of a data message.
constexpr std::size_t kDataOverhead = 7;
// A position inside an entry travels in 3 bytes.
constexpr uint32_t kMaxEntrySize = (1u << 24) - 1;
// Not-last marker in the position's fourth byte.
constexpr uint8_t kMoreFollows = 0x80;

void appendLE32(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<uint8_t>(value >> shift));
    }
}

}  // namespace

// ---- Session ----

void FirmwareTransfer::setFotaBin(FileInfo package) {
    std::lock_guard lock(m_mutex);
    FotaBin = std::move(package);
}

FileInfo FirmwareTransfer::fotaBin() const {
    std::lock_guard lock(m_mutex);
    return FotaBin;
}

bool FirmwareTransfer::OpenFotaSession() {
    static constexpr const char* kMethod = "BluetoothHandle::OpenFotaSession";
    _Log(LOG_INFO, kMethod, __LINE__, "=====OpenFotaSession Started=====");
    uint32_t entryCount = 0;
    uint32_t fileCrc32 = 0;
    std::vector<fota::EntryRecord> entries;
    {
        std::lock_guard lock(m_mutex);
        entryCount = FotaBin.entryCount;
        fileCrc32 = FotaBin.fileCrc32;
        entries = FotaBin.entries;
    }
    _Log(LOG_INFO, kMethod, __LINE__,
         "OpenFotaSession => FotaBin.entry_cnt[%d] MSG_ID_FOTA_SESSION",
         static_cast<int>(entryCount));

    m_percent.store(0);
    m_bytesSent.store(0);
    uDownloadedSize.store(0);
    m_fotaAborted.store(false);
    m_entrySelected.store(false);
    // Ends a watchdog left from an earlier session at its next wake-up.
    m_link.flags().receiveWatchdogStop.store(true);
    const uint64_t session = m_fotaSession.fetch_add(1) + 1;
    wakeReceiveWatchdog();
    m_link.flags().mtuAnswered.store(false);

    if (!m_link.workers().pause(m_link.timings().fotaOpenPause)) {
        return false;
    }

    const bool second = m_link.isSecondGeneration();
    std::vector<uint8_t> body{second ? MSG_ID_FOTA2_OPEN : MSG_ID_FOTA_SESSION};
    if (second) {
        appendLE32(body, fileCrc32);
    }
    body.push_back(static_cast<uint8_t>(entryCount & 0xFF));
    for (const fota::EntryRecord& entry : entries) {
        body.push_back(static_cast<uint8_t>(entry.id & 0xFF));
        appendLE32(body, entry.size);
        appendLE32(body, entry.crc);
    }
    body.insert(body.end(), {0x00, 0x00});
    std::vector<uint8_t> frame = m_link.buildSPPMessage(body.data(), body.size(), false, 0, true);
    if (frame.empty()) {
        _Log(LOG_WARNING, kMethod, __LINE__,
             "an open message for %zu entries does not fit a frame; session not opened",
             entries.size());
        return false;
    }
    if (!m_link.sendSPPMessage(std::move(frame))) {
        return false;
    }

    m_link.flags().receiveWatchdogStop.store(false);
    m_link.flags().gotMessage.store(true);
    m_lastChunkTick.store(platform::tickCount());
    m_link.aliveCheck().stop();
    wakeReceiveWatchdog();
    const uint64_t epoch = m_link.currentLink();
    m_link.workers().start("bt-watchdog",
                           [this, session, epoch] { ThreadCheckDeviceConnect(session, epoch); });
    return true;
}

int FirmwareTransfer::fragmentLimit() const {
    const std::size_t bodyLimit =
        m_link.isSecondGeneration() ? devlink::kMaxSecondBodyLength : devlink::kMaxLongBodyLength;
    return static_cast<int>(bodyLimit - kDataOverhead);
}

void FirmwareTransfer::raiseProgress() {
    m_link.notify([&](IBluetoothHandleDelegate& r) {
        r.OnDownloadProgressChange(m_percent.load(), m_bytesSent.load());
    });
}

void FirmwareTransfer::wakeReceiveWatchdog() {
    m_receiveEvent.signal();
    m_watchdogWake.signal();
}

void FirmwareTransfer::abortTransfer(const char* why) {
    if (m_fotaAborted.exchange(true)) {
        return;
    }
    _Log(LOG_WARNING, "BluetoothHandle::abortTransfer", __LINE__, "firmware transfer stopped: %s",
         why);
    m_link.flags().receiveWatchdogStop.store(true);
    wakeReceiveWatchdog();
    m_link.notify([&](IBluetoothHandleDelegate& r) {
        r.OnDownloadFinish(false, BluetoothHandle::kFotaReasonPackageUnreadable);
    });
}

bool FirmwareTransfer::readEntryFragment(uint32_t position, std::size_t n, uint8_t* out) {
    const uint64_t at = static_cast<uint64_t>(mDownloadEntryPos) + position;
    // Each fragment opens the package afresh: nothing is held open between fragments.
    if (n > 0 && !fota::FragmentReader::read(m_entryPath, at, n, out)) {
        abortTransfer("a fragment of the package could not be read");
        return false;
    }
    return true;
}

// ---- Control: MTU and entry requests ----

bool FirmwareTransfer::sendFotaControl() {
    if (!m_link.connection()) {
        return false;
    }
    if (m_link.isSecondGeneration()) {
        m_fragmentSize.store(kSecondFragmentSize);
        const uint8_t body[] = {MSG_ID_FOTA2_CONTROL, kSubIdSendMtu, 0x8A, 0x02, 0x00, 0x00};
        return m_link.sendBody(body, sizeof(body), 1, true);
    }
    const uint8_t body[] = {MSG_ID_FOTA_CONTROL, kSubIdSendMtu, 0x00, 0x00, 0x00};
    return m_link.sendBody(body, sizeof(body), 1, true);
}

bool FirmwareTransfer::sendFOTA2ReadyDownload(int entryId) {
    const uint8_t body[] = {MSG_ID_FOTA2_CONTROL,
                            kSubIdDownloadEntry,
                            static_cast<uint8_t>(entryId & 0xFF),
                            0x00,
                            0x00,
                            0x00};
    return m_link.sendBody(body, sizeof(body), 1, true);
}

bool FirmwareTransfer::parseFOTACtrlResponse(const uint8_t* payload, std::size_t length) {
    static constexpr const char* kMethod = "BluetoothHandle::parseFOTACtrlResponse";
    if (m_fotaAborted.load()) {
        _Log(LOG_INFO, kMethod, __LINE__, "transfer stopped; request ignored");
        return true;
    }
    switch (payload[0]) {
        case kSubIdSendMtu: {
            if (!devlink::payloadHolds(kMethod, length, 3)) {
                return true;
            }
            const int mtu = static_cast<int>(devlink::readLittleEndian(payload + 1, 2));
            _Log(LOG_INFO, kMethod, __LINE__, "MTU size : %d", mtu);
            if (mtu == 0) {
                _Log(LOG_WARNING, kMethod, __LINE__,
                     "an MTU of 0 carries no data; request not answered");
                return true;
            }
            const int limit = fragmentLimit();
            if (mtu > limit) {
                _Log(LOG_WARNING, kMethod, __LINE__,
                     "a data message carries at most %d bytes; fragments are cut to that", limit);
            }
            m_fragmentSize.store(std::min(mtu, limit));
            if (!m_link.flags().mtuAnswered.load()) {
                m_link.flags().mtuAnswered.store(true);
                sendFotaControl();
            }
            return true;
        }
        case kSubIdDownloadEntry: {
            if (!devlink::payloadHolds(kMethod, length, 2)) {
                return true;
            }
            mDownloadEntryID = static_cast<int8_t>(payload[1]);
            m_lastFragment = false;
            m_dataExchanges = 0;
            bool found = false;
            {
                std::lock_guard lock(m_mutex);
                for (const fota::EntryRecord& entry : FotaBin.entries) {
                    if (static_cast<int64_t>(entry.id) == mDownloadEntryID) {
                        mDownloadEntryPos = entry.offset;
                        mDownloadEntrySize = entry.size;
                        m_entryPath = FotaBin.path;
                        found = true;
                        break;
                    }
                }
            }
            if (!found) {
                _Log(LOG_INFO, kMethod, __LINE__,
                     "entry %d is not in the package; request not answered", mDownloadEntryID);
                return true;
            }
            m_entrySelected = true;
            m_fragmentPosition = 0;
            m_sentLength = 0;
            _Log(LOG_INFO, kMethod, __LINE__, "parseFOTACtrlResponse: mDownloadEntryID[%d]",
                 mDownloadEntryID);
            _Log(LOG_INFO, kMethod, __LINE__, "parseFOTACtrlResponse: mDownloadEntryPos[%d]",
                 static_cast<int>(mDownloadEntryPos));
            _Log(LOG_INFO, kMethod, __LINE__, "parseFOTACtrlResponse: mDownloadEntrySize[%d]",
                 static_cast<int>(mDownloadEntrySize));
            if (mDownloadEntrySize > kMaxEntrySize) {
                abortTransfer("the requested entry is larger than the data messages can address");
                return true;
            }
            if (m_link.isSecondGeneration()) {
                sendFOTA2ReadyDownload(mDownloadEntryID);
            } else {
                sendFOTADownload(false, 0);
            }
            return true;
        }
        case kSubIdSendPause:
            _Log(LOG_INFO, kMethod, __LINE__, "FOTA_SESSION_MGR_CTRL_SUBID_SEND_PAUSE");
            return true;
        case kSubIdSendResume:
            _Log(LOG_INFO, kMethod, __LINE__, "FOTA_SESSION_MGR_CTRL_SUBID_SEND_RESUME");
            return true;
        default:
            _Log(LOG_INFO, kMethod, __LINE__, "unknown control sub-id %d", payload[0]);
            return true;
    }
}

// ---- First-generation data ----

bool FirmwareTransfer::sendFOTADownload(bool advance, uint32_t offset) {
    static constexpr const char* kMethod = "BluetoothHandle::sendFOTADownload";
    if (!m_entrySelected || m_fotaAborted.load()) {
        return true;
    }
    const uint32_t fragment = static_cast<uint32_t>(m_fragmentSize.load());
    if (fragment == 0) {
        _Log(LOG_WARNING, kMethod, __LINE__, "no MTU known yet; no data sent");
        return true;
    }
    if (advance) {
        // The fragment after the acknowledged one starts where that one ended. When the
        // acknowledgement names the fragment just sent, that is its own length, also when the
        // earbuds changed the fragment size (their MTU request half way) while it travelled.
        const uint32_t step =
            offset == m_fragmentPosition && m_sentLength > 0 ? m_sentLength : fragment;
        if (static_cast<uint64_t>(offset) + step >= mDownloadEntrySize) {
            // The acknowledgement does not match the fragment just sent: nothing of the entry
            // lies after the acknowledged fragment, so nothing more is sent for it.
            _Log(LOG_WARNING, kMethod, __LINE__,
                 "acknowledged position %u leaves nothing of the entry (%u bytes) to send", offset,
                 mDownloadEntrySize);
            m_lastFragment = true;
            return true;
        }
        m_fragmentPosition = offset + step;
    }
    std::size_t n = 0;
    if (static_cast<uint64_t>(m_fragmentPosition) + fragment < mDownloadEntrySize) {
        n = fragment;
        m_lastFragment = false;
    } else {
        n = mDownloadEntrySize - m_fragmentPosition;
        m_lastFragment = true;
    }
    const std::size_t bodyLength = n + kDataOverhead;
    const bool second = m_link.isSecondGeneration();
    std::vector<uint8_t> frame;
    frame.reserve(bodyLength + 5);
    if (second) {
        frame.insert(frame.end(),
                     {devlink::kStartMarkerSecond, static_cast<uint8_t>(bodyLength),
                      static_cast<uint8_t>((bodyLength >> 8) | devlink::kSecondFlagData)});
    } else if (bodyLength <= devlink::kMaxShortBodyLength) {
        frame.insert(frame.end(), {devlink::kStartMarkerFirst, devlink::kFirstFlagData,
                                   static_cast<uint8_t>(bodyLength)});
    } else {
        frame.insert(frame.end(),
                     {devlink::kStartMarkerFirst,
                      static_cast<uint8_t>(devlink::kFirstFlagData | devlink::kFirstFlagLongForm),
                      static_cast<uint8_t>(bodyLength), static_cast<uint8_t>(bodyLength >> 8)});
    }
    frame.push_back(second ? MSG_ID_FOTA2_DATA : MSG_ID_FOTA_DOWNLOAD_DATA);
    appendLE32(frame, m_fragmentPosition);
    if (!m_lastFragment) {
        frame.back() = kMoreFollows;
    }
    // The fragment is read straight into the frame.
    const std::size_t dataAt = frame.size();
    frame.resize(dataAt + n);
    if (!readEntryFragment(m_fragmentPosition, n, frame.data() + dataAt)) {
        return true;
    }
    m_sentLength = static_cast<uint32_t>(n);
    frame.insert(frame.end(), {0xCC, 0xCC, devlink::endMarker(m_link.generation())});
    m_link.sendSPPMessage(std::move(frame));
    return true;
}

bool FirmwareTransfer::parseFOTADownloadDataResponse(const uint8_t* payload,
                                                     std::size_t /*length*/) {
    static constexpr const char* kMethod = "BluetoothHandle::parseFOTADownloadDataResponse";
    const uint32_t fragmentOffset = devlink::readLittleEndian(payload, 4);
    const bool logged = !BluetoothHandle::framesQuiet();
    if (logged) {
        _Log(LOG_INFO, kMethod, __LINE__, "fragmentOffset[%u]", fragmentOffset);
    }
    if (m_fotaAborted.load()) {
        _Log(LOG_INFO, kMethod, __LINE__, "transfer stopped; acknowledgement ignored");
        return true;
    }
    if (fragmentOffset != 0) {
        // Counted as the earbuds acknowledge; an acknowledgement that goes back never takes the
        // count below zero.
        const int64_t moved = static_cast<int64_t>(fragmentOffset) - uDownloadedSize.load();
        const int64_t total = static_cast<int64_t>(m_bytesSent.load()) + moved;
        m_bytesSent.store(total > 0 ? static_cast<uint64_t>(total) : 0);
    }
    uDownloadedSize.store(fragmentOffset);
    raiseProgress();
    if (!m_lastFragment) {
        if (logged) {
            _Log(LOG_INFO, kMethod, __LINE__, "===========SEND FOTA DATA===========");
        }
        sendFOTADownload(true, fragmentOffset);
    }
    return true;
}

// ---- Second-generation data ----

bool FirmwareTransfer::sendFOTA2Download(uint32_t offset, int packetIndex) {
    static constexpr const char* kMethod = "BluetoothHandle::sendFOTA2Download";
    if (!m_entrySelected || m_fotaAborted.load()) {
        return true;
    }
    const uint32_t fragment = static_cast<uint32_t>(m_fragmentSize.load());
    if (fragment == 0) {
        _Log(LOG_WARNING, kMethod, __LINE__, "no MTU known yet; no data sent");
        m_lastFragment = true;
        return true;
    }
    const uint64_t position =
        static_cast<uint64_t>(offset) + static_cast<uint64_t>(packetIndex) * fragment;
    if (position > mDownloadEntrySize) {
        _Log(LOG_WARNING, kMethod, __LINE__,
             "requested position %llu lies beyond the entry (%u bytes); nothing sent",
             static_cast<unsigned long long>(position), mDownloadEntrySize);
        m_lastFragment = true;
        return true;
    }
    m_fragmentPosition = static_cast<uint32_t>(position);
    std::size_t n = 0;
    if (position + fragment >= mDownloadEntrySize) {
        n = mDownloadEntrySize - m_fragmentPosition;
        m_lastFragment = true;
    } else {
        n = fragment;
        m_lastFragment = false;
    }
    m_bytesSent.fetch_add(n);
    raiseProgress();
    const std::size_t bodyLength = n + kDataOverhead;
    std::vector<uint8_t> frame;
    frame.reserve(bodyLength + 4);
    frame.insert(frame.end(),
                 {devlink::kStartMarkerSecond, static_cast<uint8_t>(bodyLength),
                  static_cast<uint8_t>((bodyLength >> 8) | devlink::kSecondFlagResponse |
                                       devlink::kSecondFlagData),
                  MSG_ID_FOTA2_DATA, static_cast<uint8_t>(m_fragmentPosition),
                  static_cast<uint8_t>(m_fragmentPosition >> 8),
                  static_cast<uint8_t>(m_fragmentPosition >> 16),
                  static_cast<uint8_t>(m_lastFragment ? 0x00 : kMoreFollows)});
    const std::size_t dataAt = frame.size();
    frame.resize(dataAt + n);
    if (!readEntryFragment(m_fragmentPosition, n, frame.data() + dataAt)) {
        return true;
    }
    frame.insert(frame.end(), {0x00, 0x00, devlink::kEndMarkerSecond});
    m_link.sendSPPMessage(std::move(frame));
    return true;
}

bool FirmwareTransfer::parseFOTA2DataResponse(const uint8_t* payload, std::size_t length) {
    static constexpr const char* kMethod = "BluetoothHandle::parseFOTA2DataResponse";
    const uint32_t fragmentOffset = devlink::readLittleEndian(payload, 3);
    const int requestPacketNum = static_cast<int8_t>(payload[length - 1]);
    if (!BluetoothHandle::framesQuiet()) {
        _Log(LOG_INFO, kMethod, __LINE__, "fragmentOffset[%ld] requestPacketNum[%d]",
             static_cast<long>(fragmentOffset), requestPacketNum);
    }
    if (m_fotaAborted.load()) {
        _Log(LOG_INFO, kMethod, __LINE__, "transfer stopped; request ignored");
        return true;
    }
    raiseProgress();
    if (!m_entrySelected) {
        _Log(LOG_WARNING, kMethod, __LINE__, "no entry requested yet; no data sent");
        return true;
    }
    for (int i = 0; i < requestPacketNum; ++i) {
        sendFOTA2Download(fragmentOffset, i);
        if (m_lastFragment || m_fotaAborted.load()) {
            break;
        }
    }
    return true;
}

// ---- Reports ----

bool FirmwareTransfer::sendFOTA2Update() {
    const uint8_t body[] = {MSG_ID_FOTA2_UPDATE, 0x01, 0x00, 0x00};
    return m_link.sendBody(body, sizeof(body), 1, true);
}

bool FirmwareTransfer::sendFOTA2Emergency() {
    const uint8_t body[] = {MSG_ID_FOTA2_EMERGENCY, 0x00, 0x00, 0x00};
    return m_link.sendBody(body, sizeof(body), 1, true);
}

bool FirmwareTransfer::parseFOTAUpdateResponse(const uint8_t* payload, std::size_t length) {
    static constexpr const char* kMethod = "BluetoothHandle::parseFOTAUpdateResponse";
    if (payload[0] == kUpdateCurrentDownloadedPercent) {
        if (!devlink::payloadHolds(kMethod, length, 2)) {
            return true;
        }
        m_percent.store(payload[1]);
        _Log(LOG_INFO, kMethod, __LINE__, "UPDATE_CURRENT_DOWNLOADED_PERCENT [%d]", payload[1]);
        if (payload[1] == 50) {
            // The earbuds ask for the MTU again half way; that request is answered too.
            m_link.flags().mtuAnswered.store(false);
        }
        raiseProgress();
        return true;
    }
    if (payload[0] != kUpdateStateChanged || !devlink::payloadHolds(kMethod, length, 3)) {
        return true;
    }
    _Log(LOG_INFO, kMethod, __LINE__, "UPDATE_STATE_CHANGED");
    m_link.flags().receiveWatchdogStop.store(true);
    wakeReceiveWatchdog();
    const int state = payload[1];
    const int reason = payload[2];
    if (m_fotaAborted.load()) {
        // This side already ended the transfer and reported it.
        _Log(LOG_INFO, kMethod, __LINE__, "transfer stopped; State = %d errCode = %d ignored",
             state, reason);
        return true;
    }
    if (state == kFotaSessionClosed) {
        _Log(LOG_INFO, kMethod, __LINE__, "FOTA_SESSION_CLOSED");
    }
    if (state == kFotaSessionClosed && reason == 0) {
        _Log(LOG_INFO, kMethod, __LINE__,
             "fota_download_control >> close Download. download complete.");
        m_link.notify([&](IBluetoothHandleDelegate& r) { r.OnDownloadFinish(true, 0); });
        if (m_link.isSecondGeneration()) {
            sendFOTA2Update();
        } else {
            m_link.sendUpdateResponse(MSG_ID_FOTA_UPDATE);
        }
    } else if (state == kFotaSessionClosed || state == 1) {
        if (reason != kReasonKeepPairing) {
            m_link.sendResetDevice();
            m_link.RemoveDevice(m_link.connectedDevice());
        }
        _Log(LOG_INFO, kMethod, __LINE__,
             "fota_download_control >> close Download. download fail reason : %d", reason);
        m_link.notify([&](IBluetoothHandleDelegate& r) { r.OnDownloadFinish(false, reason); });
    }
    m_lastState = state;
    m_lastError = reason;
    m_link.notify([&](IBluetoothHandleDelegate& r) { r.OnFotaStateChange(state); });
    if (reason != 0) {
        m_link.notify([&](IBluetoothHandleDelegate& r) { r.OnFotaError(reason); });
    }
    _Log(LOG_INFO, kMethod, __LINE__, "State = %d", state);
    _Log(LOG_INFO, kMethod, __LINE__, "errCode = %d", reason);
    return true;
}

bool FirmwareTransfer::parseOpenSessionResponse(const uint8_t* payload, std::size_t /*length*/) {
    static constexpr const char* kMethod = "BluetoothHandle::parseOpenSessionResponse";
    m_lastState = payload[0];
    m_lastError = payload[1];
    m_link.notify([&](IBluetoothHandleDelegate& r) { r.OnFotaStateChange(m_lastState); });
    if (m_lastError != 0) {
        m_link.notify([&](IBluetoothHandleDelegate& r) { r.OnFotaError(m_lastError); });
    }
    _Log(LOG_INFO, kMethod, __LINE__, "State = %d", m_lastState);
    _Log(LOG_INFO, kMethod, __LINE__, "errCode = %d", m_lastError);
    return true;
}

bool FirmwareTransfer::parseFOTA2OpenResponse(const uint8_t* payload, std::size_t /*length*/) {
    static constexpr const char* kMethod = "BluetoothHandle::parseFOTA2OpenResponse";
    _Log(LOG_INFO, kMethod, __LINE__, "errCode = %d", payload[0]);
    return true;
}

bool FirmwareTransfer::parseFOTA2EmergencyResponse(const uint8_t* /*payload*/,
                                                   std::size_t /*length*/) {
    _Log(LOG_INFO, "BluetoothHandle::parseFOTA2EmergencyResponse", __LINE__,
         "=====parseFOTA2EmergencyResponse (0xBA) start=====");
    sendFOTA2Emergency();
    m_link.notify([&](IBluetoothHandleDelegate& r) { r.OnDeviceVersionMismatch(); });
    return true;
}

// ---- Receive side and watchdog ----

void FirmwareTransfer::noteChunk() {
    m_lastChunkTick.store(platform::tickCount());
    m_receiveEvent.signal();
}

bool FirmwareTransfer::isQuietDataExchange(const uint8_t* buffer, std::size_t count) {
    // Start marker, three header bytes, checksum and end marker around at least an id.
    constexpr std::size_t kMinFrameLength = 7;
    if (!m_entrySelected.load() || m_fotaAborted.load() || count < kMinFrameLength ||
        !base::log::isEnabled(LOG_INFO)) {
        return false;
    }
    // Exactly one short-form frame: a first-generation acknowledgement (0xB2 response) or a
    // second-generation data request (0xBD request). Anything else is logged as it comes.
    bool dataExchange = false;
    if (buffer[0] == devlink::kStartMarkerFirst) {
        dataExchange = (buffer[1] & devlink::kFirstFlagResponse) != 0 &&
                       (buffer[1] & devlink::kFirstFlagLongForm) == 0 &&
                       count == static_cast<std::size_t>(buffer[2]) + 4 &&
                       buffer[3] == MSG_ID_FOTA_DOWNLOAD_DATA;
    } else if (buffer[0] == devlink::kStartMarkerSecond) {
        dataExchange = (buffer[2] & devlink::kSecondFlagResponse) == 0 &&
                       count == static_cast<std::size_t>(buffer[1]) + 4 &&
                       buffer[3] == MSG_ID_FOTA2_DATA;
    }
    if (!dataExchange) {
        return false;
    }
    // The first exchange of an entry and every kLoggedDataExchange-th after it are logged.
    const int index = m_dataExchanges++;
    if (index % kLoggedDataExchange != 0) {
        return true;
    }
    if (index > 0) {
        _Log(LOG_INFO, "BluetoothHandle::ThreadResponseListener", __LINE__,
             "%d data exchanges before this one were not logged frame by frame",
             kLoggedDataExchange - 1);
    }
    return false;
}

void FirmwareTransfer::reset() {
    {
        std::lock_guard lock(m_mutex);
        FotaBin = FileInfo{};
    }
    m_lastChunkTick.store(0);
    m_receiveEvent.reset();
    m_fotaAborted.store(false);
    m_percent.store(0);
    m_bytesSent.store(0);
    uDownloadedSize.store(0);
    m_fragmentSize.store(0);
    m_lastState = 0;
    m_lastError = 0;
    mDownloadEntryID = 0;
    m_entrySelected.store(false);
    mDownloadEntryPos = 0;
    mDownloadEntrySize = 0;
    m_fragmentPosition = 0;
    m_sentLength = 0;
    m_lastFragment = false;
    m_entryPath.clear();
}

void FirmwareTransfer::ThreadCheckDeviceConnect(uint64_t session, uint64_t epoch) {
    static constexpr const char* kMethod = "BluetoothHandle::ThreadCheckDeviceConnect";
    _Log(LOG_INFO, kMethod, __LINE__, "=====ThreadCheckDeviceConnect start=====");
    BluetoothHandle::SessionFlags& flags = m_link.flags();
    const uint64_t limit = static_cast<uint64_t>(m_link.timings().receiveWatchdog.count());
    while (!flags.receiveWatchdogStop.load()) {
        // Silence is counted from the last received chunk (every chunk also sets the
        // got-message flag, which is taken here).
        flags.gotMessage.store(false);
        if (m_link.peerClosed(epoch)) {
            break;
        }
        const uint64_t now = platform::tickCount();
        const uint64_t deadline = m_lastChunkTick.load() + limit;
        if (now < deadline) {
            m_watchdogWake.wait(std::chrono::milliseconds(deadline - now));
            // A newer session has its own watchdog; this one only ends.
            if (m_link.stopping() || m_fotaSession.load() != session) {
                return;
            }
            continue;
        }
        break;
    }
    if (flags.receiveWatchdogStop.load()) {
        return;
    }
    // The same event for a closed link as for a silent one: the transfer has lost its link.
    const char* why = m_link.peerClosed(epoch)
                          ? "ThreadCheckDeviceConnect -> the link was closed during the transfer"
                          : "ThreadCheckDeviceConnect -> do not REVC any message over 20s";
    if (m_link.failLink(epoch, kMethod, why)) {
        m_link.notify([&](IBluetoothHandleDelegate& r) { r.OnDeviceDisconnected(1); });
    }
}

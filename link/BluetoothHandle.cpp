#include "link/BluetoothHandle.h"

#include <algorithm>

#include "base/Log.h"
#include "link/FrameTranscript.h"
#include "link/HexDump.h"
#include "link/MessageIds.h"
#include "link/MessageRoute.h"
#include "platform/TickCount.h"

namespace {

constexpr int kSendAttempts = 5;
// Start marker, three header bytes, checksum and end marker around at least an id.
constexpr std::size_t kMinFrameLength = 7;

// Set while the listener handles a data exchange that is summarised instead of logged frame by
// frame; the send path on the same thread reads it too.
thread_local bool t_framesQuiet = false;

class QuietFrames {
public:
    explicit QuietFrames(bool quiet) { t_framesQuiet = quiet; }
    ~QuietFrames() { t_framesQuiet = false; }
    QuietFrames(const QuietFrames&) = delete;
    QuietFrames& operator=(const QuietFrames&) = delete;
};

}  // namespace

// Turns the frames the splitter finds into SPPMessage records, logging and checking each as the
// link does.
class BluetoothHandle::ReceiveSink final : public devlink::FrameSplitter::Sink {
public:
    ReceiveSink(const BluetoothHandle& handle, devlink::Generation generation,
                std::vector<SPPMessage>& messages)
        : m_handle(handle), m_generation(generation), m_messages(messages) {}

    bool onFrame(const uint8_t* frame, std::size_t length) override {
        SPPMessage message;
        message.frame.assign(frame, frame + length);
        message.frameLength = static_cast<int>(length);
        BluetoothHandle::logMessage("RECV: ", "BluetoothHandle::parseMessageData", frame, length);
        if (m_generation == devlink::Generation::Second) {
            message.response = (frame[2] & devlink::kSecondFlagResponse) != 0 ? 1 : 0;
            message.bodyLength = frame[1];
        } else {
            message.response = (frame[1] & devlink::kFirstFlagResponse) != 0 ? 1 : 0;
            message.bodyLength = frame[2];
        }
        message.msgId = frame[3];
        if (!m_handle.checkMessageCRC(message)) {
            return false;
        }
        m_messages.push_back(std::move(message));
        return true;
    }

    void onIncorrectMessage() override {
        _Log(LOG_INFO, "BluetoothHandle::parseMessageData", __LINE__, "Incorrect Message");
    }

private:
    const BluetoothHandle& m_handle;
    const devlink::Generation m_generation;
    std::vector<SPPMessage>& m_messages;
};

namespace {

std::mutex g_installMutex;
std::shared_ptr<platform::bluetooth::Backend> g_installedBackend;

std::shared_ptr<platform::bluetooth::Backend> installedBackend() {
    std::lock_guard lock(g_installMutex);
    return g_installedBackend;
}

}  // namespace

void BluetoothHandle::InstallBackend(std::shared_ptr<platform::bluetooth::Backend> backend) {
    std::lock_guard lock(g_installMutex);
    g_installedBackend = std::move(backend);
}

BluetoothHandle* BluetoothHandle::GetInstance() {
    static BluetoothHandle* const instance = new BluetoothHandle(installedBackend());
    return instance;
}

BluetoothHandle::BluetoothHandle() : BluetoothHandle(nullptr) {}

BluetoothHandle::BluetoothHandle(std::shared_ptr<platform::bluetooth::Backend> backend)
    : m_backend(std::move(backend)) {
    _Log(LOG_INFO, "BluetoothHandle::BluetoothHandle", __LINE__, "BluetoothHandle ++");
    m_receiveEvent = std::make_unique<platform::Event>(platform::Event::Reset::Auto);
    m_aliveEvent = std::make_unique<platform::Event>(platform::Event::Reset::Auto);
    _Log(LOG_INFO, "BluetoothHandle::BluetoothHandle", __LINE__, "BluetoothHandle --");
}

BluetoothHandle::~BluetoothHandle() {
    shutdown();
}

void BluetoothHandle::resetReceivedState() {
    m_splitter.reset();
    m_dropKeptBytes.store(false);
    m_flags.gotMessage.store(false);
    m_flags.aliveResponse.store(false);
    m_flags.receiveWatchdogStop.store(false);
    m_flags.mtuAnswered.store(false);
    m_lastChunkTick.store(0);
    m_receiveEvent->reset();
    m_aliveEvent->reset();
    {
        std::lock_guard lock(m_stateMutex);
        m_status = DeviceStatus{};
        m_imeiLeft.clear();
        m_imeiRight.clear();
        m_softwareVersionLeft.clear();
        m_softwareVersionRight.clear();
    }
    {
        std::lock_guard lock(m_fotaMutex);
        FotaBin = FileInfo{};
    }
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

void BluetoothHandle::setConnectedDevice(BluetoothDevice* device) {
    m_connectedDevice.store(device);
}

void BluetoothHandle::setConnection(std::shared_ptr<platform::bluetooth::Connection> connection) {
    {
        std::lock_guard lock(m_connectionMutex);
        m_connection = std::move(connection);
        ++m_linkEpoch;
    }
    m_dropKeptBytes.store(true);
}

std::shared_ptr<platform::bluetooth::Connection> BluetoothHandle::connection() const {
    std::lock_guard lock(m_connectionMutex);
    return m_connection;
}

bool BluetoothHandle::isSecondGeneration() const {
    const BluetoothDevice* device = connectedDevice();
    return device != nullptr && devlink::isSecondGenerationName(device->name);
}

devlink::Generation BluetoothHandle::generation() const {
    return isSecondGeneration() ? devlink::Generation::Second : devlink::Generation::First;
}

uint16_t BluetoothHandle::calcCRC16(const uint8_t* bytes, std::size_t from, std::size_t to) const {
    return from < to ? devlink::crc16(bytes + from, to - from) : 0;
}

std::vector<uint8_t> BluetoothHandle::buildSPPMessage(const uint8_t* body, std::size_t bodyLength,
                                                      bool longForm, int response,
                                                      bool useModelHeader) const {
    const devlink::Generation markers = generation();
    const devlink::Generation header = useModelHeader ? markers : devlink::Generation::First;
    return devlink::wrapBody(
        markers, {.header = header, .response = (response & 1) != 0, .longForm = longForm}, body,
        bodyLength);
}

bool BluetoothHandle::sendSPPMessage(std::vector<uint8_t> frame) {
    const bool logged = !framesQuiet();
    if (logged) {
        _Log(LOG_INFO, "BluetoothHandle::sendSPPMessage", __LINE__,
             "+++++++++++++++++++++++++++SENDING MESSAGE++++++++++++++++++++++++++++++++++");
    }
    if (frame.size() < kMinFrameLength) {
        _Log(LOG_WARNING, "BluetoothHandle::sendSPPMessage", __LINE__,
             "a frame of %zu bytes holds no message; not sent", frame.size());
        return false;
    }
    const devlink::Generation markers = generation();
    // A first-generation long-form frame has its id one byte further on.
    const std::size_t idOffset = devlink::checksumStart(markers, frame.data(), frame.size());
    if (logged) {
        _Log(LOG_INFO, "BluetoothHandle::sendSPPMessage", __LINE__, "MSGID = %02x ",
             frame[idOffset]);
    }
    devlink::sealFrame(markers, frame.data(), frame.size());
    logMessage("SENT: ", "BluetoothHandle::sendSPPMessage", frame.data(), frame.size());
    devlink::FrameTranscript::shared().recordSent(frame.data(), frame.size());
    return sendData(std::move(frame)) > 0;
}

int BluetoothHandle::sendData(std::vector<uint8_t> frame) {
    const std::shared_ptr<platform::bluetooth::Connection> stream = connection();
    std::ptrdiff_t result = -1;
    for (int attempt = 1; attempt <= kSendAttempts; ++attempt) {
        result = stream ? stream->send(frame.data(), frame.size()) : -1;
        if (result == -1 || !framesQuiet()) {
            _Log(LOG_INFO, "BluetoothHandle::sendData", __LINE__,
                 "SendData -> bytes_sent = %d | try send Count[%d]", static_cast<int>(result),
                 attempt);
        }
        if (result != -1) {
            break;
        }
    }
    return static_cast<int>(result);
}

void BluetoothHandle::parseMessageData(const uint8_t* buffer, std::size_t count,
                                       std::vector<SPPMessage>& messages) {
    if (!framesQuiet()) {
        _Log(LOG_INFO, "BluetoothHandle::parseMessageData", __LINE__, "isGotRecvFromDevice = TRUE");
    }
    m_flags.gotMessage.store(true);
    m_flags.aliveResponse.store(true);
    m_lastChunkTick.store(platform::tickCount());
    m_receiveEvent->signal();
    m_aliveEvent->signal();

    if (m_dropKeptBytes.exchange(false)) {
        m_splitter.reset();
    }
    const devlink::Generation current = generation();
    ReceiveSink sink(*this, current, messages);
    m_splitter.split(current, buffer, count, sink);
}

bool BluetoothHandle::checkMessageCRC(const SPPMessage& message) const {
    const std::vector<uint8_t>& frame = message.frame;
    const devlink::Generation markers = generation();
    const bool logged = !framesQuiet();
    if (logged && markers == devlink::Generation::First) {
        _Log(LOG_INFO, "BluetoothHandle::checkMessageCRC", __LINE__,
             "=====checkMessageCRC start=====");
    }
    // A body needs at least the id and the checksum; anything shorter cannot be a message.
    if (frame.size() < kMinFrameLength) {
        _Log(LOG_INFO, "BluetoothHandle::checkMessageCRC", __LINE__, "checkMessageCRC ==> BAD");
        return false;
    }
    const std::size_t from = devlink::checksumStart(markers, frame.data(), frame.size());
    const uint16_t crc = calcCRC16(frame.data(), from, frame.size() - 3);
    const uint8_t low = static_cast<uint8_t>(crc & 0xFF);
    const uint8_t high = static_cast<uint8_t>(crc >> 8);
    const bool good = low == frame[frame.size() - 3] && high == frame[frame.size() - 2];
    if (logged || !good) {
        _Log(LOG_INFO, "BluetoothHandle::checkMessageCRC", __LINE__, "Calc CRC1 -> %02x", low);
        _Log(LOG_INFO, "BluetoothHandle::checkMessageCRC", __LINE__, "Calc CRC2 -> %02x", high);
    }
    if (good) {
        if (logged) {
            _Log(LOG_INFO, "BluetoothHandle::checkMessageCRC", __LINE__,
                 "checkMessageCRC ==> GOOD");
        }
        return true;
    }
    _Log(LOG_INFO, "BluetoothHandle::checkMessageCRC", __LINE__, "checkMessageCRC ==> BAD");
    return false;
}

void BluetoothHandle::logMessage(const char* label, const char* method, const uint8_t* bytes,
                                 std::size_t count) {
    // Every frame passes here: no dump is built when the level filters the line.
    if (framesQuiet() || !services::log::isEnabled(LOG_INFO)) {
        return;
    }
    // "[method]: label" and the dump, built in a buffer this thread keeps, so a frame's line
    // costs no allocation and no formatting pass.
    thread_local std::string line;
    line.clear();
    line += '[';
    line += method;
    line += "]: ";
    line += label;
    devlink::appendHexDump(line, bytes, count);
    _LogText(LOG_INFO, method, __LINE__, line);
}

bool BluetoothHandle::framesQuiet() {
    return t_framesQuiet;
}

bool BluetoothHandle::isQuietDataExchange(const uint8_t* buffer, std::size_t count) {
    if (!m_entrySelected.load() || m_fotaAborted.load() || count < kMinFrameLength ||
        !services::log::isEnabled(LOG_INFO)) {
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

void BluetoothHandle::handleReceivedChunk(const uint8_t* buffer, std::size_t count) {
    const QuietFrames quiet(isQuietDataExchange(buffer, count));
    if (!framesQuiet()) {
        _Log(LOG_INFO, "BluetoothHandle::ThreadResponseListener", __LINE__,
             "=============END=================");
        _Log(LOG_INFO, "BluetoothHandle::ThreadResponseListener", __LINE__,
             "=========RECV NEW MESSAGE========");
    }
    logMessage("RECV: ", "BluetoothHandle::ThreadResponseListener", buffer, count);
    devlink::FrameTranscript::shared().recordReceived(buffer, count);
    std::vector<SPPMessage> messages;
    parseMessageData(buffer, count, messages);
    if (!framesQuiet()) {
        _Log(LOG_INFO, "BluetoothHandle::ThreadResponseListener", __LINE__,
             "Message recv count: %d", static_cast<int>(messages.size()));
    }
    for (const SPPMessage& message : messages) {
        dispatchMessage(message);
    }
}

void BluetoothHandle::dispatchMessage(const SPPMessage& message) {
    const devlink::MessageRoute route = devlink::routeMessage(message.msgId, message.response);
    if (route.name == nullptr) {
        return;
    }
    if (!framesQuiet()) {
        _Log(LOG_INFO, "BluetoothHandle::dispatchMessage", __LINE__,
             message.response != 0 ? "MSG_RES: %s" : "MSG_REQ: %s", route.name);
    }

    // The payload runs from offset 4 up to the checksum; a record whose numbers disagree with
    // its frame never yields more than the frame holds.
    const std::size_t inFrame =
        message.frame.size() >= kMinFrameLength ? message.frame.size() - kMinFrameLength : 0;
    const std::size_t stated =
        message.bodyLength >= 3 ? static_cast<std::size_t>(message.bodyLength - 3) : 0;
    const std::size_t size = std::min(inFrame, stated);
    const std::vector<uint8_t> payload(message.frame.begin() + (size > 0 ? 4 : 0),
                                       message.frame.begin() + (size > 0 ? 4 + size : 0));
    if (route.handler != nullptr) {
        (this->*route.handler)(payload.data(), size);
    }
}

bool BluetoothHandle::sendBody(const uint8_t* body, std::size_t bodyLength, int response,
                               bool useModelHeader) {
    return sendSPPMessage(buildSPPMessage(body, bodyLength, false, response, useModelHeader));
}

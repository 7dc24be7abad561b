#include "link/BluetoothHandle.h"

#include <algorithm>

#include "base/Log.h"
#include "link/FrameTranscript.h"
#include "link/HexDump.h"
#include "link/MessageIds.h"
#include "link/MessageRoute.h"
#include "link/PayloadReader.h"

namespace {

constexpr int kSendAttempts = 5;
// Start marker, three header bytes, checksum and end marker around at least an id.
constexpr std::size_t kMinFrameLength = 7;

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
    // The two events ("WAIT_RECV", "WAIT_ALIVE") belong to the parts that wait on them and are
    // made with them.
    _Log(LOG_INFO, "BluetoothHandle::BluetoothHandle", __LINE__, "BluetoothHandle ++");
    _Log(LOG_INFO, "BluetoothHandle::BluetoothHandle", __LINE__, "BluetoothHandle --");
}

BluetoothHandle::~BluetoothHandle() {
    shutdown();
}

void BluetoothHandle::resetReceivedState() {
    m_frames.reset();
    m_flags.gotMessage.store(false);
    m_flags.aliveResponse.store(false);
    m_flags.receiveWatchdogStop.store(false);
    m_flags.mtuAnswered.store(false);
    m_aliveCheck.event().reset();
    m_deviceState.reset();
    m_transfer.reset();
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
    m_frames.dropKeptBytes();
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
    if (framesQuiet() || !base::log::isEnabled(LOG_INFO)) {
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
    return FrameReceiver::framesQuiet();
}

void BluetoothHandle::dispatchMessage(const SPPMessage& message) {
    const devlink::MessageRoute route =
        devlink::routeMessage(message.msgId, message.response, generation());
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
    deliver(route, payload.data(), size);
}

bool BluetoothHandle::routePayload(int messageId, int response, const uint8_t* payload,
                                   std::size_t length) {
    return deliver(devlink::routeMessage(messageId, response, generation()), payload, length);
}

bool BluetoothHandle::deliver(const devlink::MessageRoute& route, const uint8_t* payload,
                              std::size_t length) {
    if (route.handler == nullptr) {
        return false;
    }
    // The one length check of every received payload, logged under the handler's name.
    if (!devlink::payloadHolds(route.method, length, route.minLength)) {
        return false;
    }
    return route.handler({m_deviceState, m_transfer}, payload, length);
}

bool BluetoothHandle::sendBody(const uint8_t* body, std::size_t bodyLength, int response,
                               bool useModelHeader) {
    return sendSPPMessage(buildSPPMessage(body, bodyLength, false, response, useModelHeader));
}

// ---- The link's requests ----

bool BluetoothHandle::SendGetDeviceIMEI() {
    _Log(LOG_INFO, "BluetoothHandle::SendGetDeviceIMEI", __LINE__,
         "=====SendGetDeviceIMEI start=====");
    if (!connection()) {
        return false;
    }
    const uint8_t body[] = {MSG_ID_DEBUG_SERIAL_NUMBER, 0x00, 0x00};
    return sendBody(body, sizeof(body), 0, true);
}

bool BluetoothHandle::sendResetDevice() {
    _Log(LOG_INFO, "BluetoothHandle::sendResetDevice", __LINE__, "=====SendResetDevice start=====");
    if (!connection()) {
        return false;
    }
    const uint8_t body[] = {MSG_ID_RESET, 0x00, 0x00};
    return sendBody(body, sizeof(body), 0, false);
}

bool BluetoothHandle::sendUpdateResponse(uint8_t id) {
    _Log(LOG_INFO, "BluetoothHandle::sendUpdateResponse", __LINE__,
         "=====SendUpdateResponse start=====");
    if (!connection()) {
        return false;
    }
    if (isSecondGeneration()) {
        const uint8_t body[] = {id, 0x00, 0x00, 0x00};
        return sendBody(body, sizeof(body), 1, true);
    }
    const uint8_t body[] = {MSG_ID_UPDATE_RESPONSE, id, 0x00, 0x00, 0x00};
    return sendBody(body, sizeof(body), 1, true);
}

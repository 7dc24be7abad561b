#include "link/FrameReceiver.h"

#include "base/Log.h"
#include "link/BluetoothHandle.h"
#include "link/FrameTranscript.h"

// Log lines keep the names the link's log has always used (BluetoothHandle::...).

namespace {

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
class FrameReceiver::Sink final : public devlink::FrameSplitter::Sink {
public:
    Sink(const BluetoothHandle& handle, devlink::Generation generation,
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

bool FrameReceiver::framesQuiet() {
    return t_framesQuiet;
}

void FrameReceiver::reset() {
    m_splitter.reset();
    m_dropKeptBytes.store(false);
}

void FrameReceiver::parseMessageData(const uint8_t* buffer, std::size_t count,
                                     std::vector<SPPMessage>& messages) {
    if (!framesQuiet()) {
        _Log(LOG_INFO, "BluetoothHandle::parseMessageData", __LINE__, "isGotRecvFromDevice = TRUE");
    }
    BluetoothHandle::SessionFlags& flags = m_link.flags();
    flags.gotMessage.store(true);
    flags.aliveResponse.store(true);
    m_link.transfer().noteChunk();
    m_link.aliveCheck().event().signal();

    if (m_dropKeptBytes.exchange(false)) {
        m_splitter.reset();
    }
    const devlink::Generation current = m_link.generation();
    Sink sink(m_link, current, messages);
    m_splitter.split(current, buffer, count, sink);
}

void FrameReceiver::handleChunk(const uint8_t* buffer, std::size_t count) {
    std::lock_guard lock(m_mutex);
    const QuietFrames quiet(m_link.transfer().isQuietDataExchange(buffer, count));
    const bool logged = !framesQuiet();
    if (logged) {
        _Log(LOG_INFO, "BluetoothHandle::ThreadResponseListener", __LINE__,
             "=============END=================");
        _Log(LOG_INFO, "BluetoothHandle::ThreadResponseListener", __LINE__,
             "=========RECV NEW MESSAGE========");
    }
    BluetoothHandle::logMessage("RECV: ", "BluetoothHandle::ThreadResponseListener", buffer, count);
    devlink::FrameTranscript::shared().recordReceived(buffer, count);
    std::vector<SPPMessage> messages;
    parseMessageData(buffer, count, messages);
    if (logged) {
        _Log(LOG_INFO, "BluetoothHandle::ThreadResponseListener", __LINE__,
             "Message recv count: %d", static_cast<int>(messages.size()));
    }
    for (const SPPMessage& message : messages) {
        m_link.dispatchMessage(message);
    }
}

#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "link/FrameSplitter.h"
#include "link/SPPMessage.h"

class BluetoothHandle;

// The receive side of the device link: each chunk the listener reads is logged, cut into frames
// (a frame split across two reads is joined), each frame checked and every accepted message
// dispatched in order. Every chunk also marks the session alive. One chunk is handled at a time,
// also while an old listener winds down beside a new one.
class FrameReceiver {
public:
    explicit FrameReceiver(BluetoothHandle& link) : m_link(link) {}
    FrameReceiver(const FrameReceiver&) = delete;
    FrameReceiver& operator=(const FrameReceiver&) = delete;

    // The listener's work for one chunk: log, split, dispatch.
    void handleChunk(const uint8_t* buffer, std::size_t count);
    // Cuts one chunk into frames, appends those with a good checksum to messages in stream
    // order, and marks the session alive.
    void parseMessageData(const uint8_t* buffer, std::size_t count,
                          std::vector<SPPMessage>& messages);
    // A new connection: bytes kept from the previous one are dropped before the next chunk.
    void dropKeptBytes() { m_dropKeptBytes.store(true); }
    // Forgets kept bytes at once (tests and fuzzing; no listener running).
    void reset();
    // True while this thread handles a data exchange whose frames are not logged one by one
    // (FirmwareTransfer::isQuietDataExchange).
    static bool framesQuiet();

private:
    class Sink;

    BluetoothHandle& m_link;
    std::mutex m_mutex;
    // Used only under m_mutex or by the one thread that reads the connection.
    devlink::FrameSplitter m_splitter;
    std::atomic<bool> m_dropKeptBytes{false};
};

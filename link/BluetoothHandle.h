#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "fota/FileInfo.h"
#include "link/BluetoothDevice.h"
#include "link/DeviceStatus.h"
#include "link/FrameCodec.h"
#include "link/FrameSplitter.h"
#include "link/IBluetoothHandleDelegate.h"
#include "link/SPPMessage.h"
#include "platform/Event.h"
#include "platform/bluetooth/Connection.h"

// The device link as the rest of the program sees it: one object for the whole run that talks
// to one pair of earbuds over a byte stream, turns received frames into events for its delegate
// and keeps the state the earbuds report.
//
// This file holds the frame layer (building, sending, splitting, checking and dispatching
// frames), the status messages and the session state. The worker threads (support check,
// discovery, connect, response listener, alive check, receive watchdog) and the platform
// procedures build on it; the response listener hands each chunk it reads to
// handleReceivedChunk(). The firmware transfer handlers are in BluetoothHandleFota.cpp.
//
// Thread use: frames are sent from any thread (one connection send per frame, so frames never
// interleave); receiving, dispatching and every parse handler run on one thread at a time (the
// listener's). The device state is written only by the handlers and read as copies.
class BluetoothHandle {
public:
    // The flags the session's threads share (each written by one side, read by the other).
    struct SessionFlags {
        // Set by every received chunk, cleared by the receive watchdog.
        std::atomic<bool> gotMessage{false};
        // Set by every received chunk, cleared by the alive check after each probe.
        std::atomic<bool> aliveResponse{false};
        // Ends the receive watchdog.
        std::atomic<bool> receiveWatchdogStop{false};
        // Keeps the alive check looping.
        std::atomic<bool> aliveCheckRunning{false};
        // The firmware transfer's MTU request has been answered.
        std::atomic<bool> mtuAnswered{false};
        // Between StartFindDevice and StopFindDevice.
        std::atomic<bool> finding{false};
    };

    // The process-wide link, created on the first call (safely from any thread) and never
    // destroyed: detached worker threads may still use it while the process exits.
    static BluetoothHandle* GetInstance();

    // An independent link; tests create several. Logs "BluetoothHandle ++" and
    // "BluetoothHandle --" around creating the two events.
    BluetoothHandle();
    ~BluetoothHandle();
    BluetoothHandle(const BluetoothHandle&) = delete;
    BluetoothHandle& operator=(const BluetoothHandle&) = delete;

    // ---- Session wiring ----

    // The one receiver of events; null means events are not raised.
    void setDelegate(IBluetoothHandleDelegate* delegate);
    IBluetoothHandleDelegate* delegate() const { return m_delegate.load(); }
    // The device of the last connect attempt; it decides the generation. Null until then.
    void setConnectedDevice(BluetoothDevice* device);
    BluetoothDevice* connectedDevice() const { return m_connectedDevice.load(); }
    // The byte stream of the current connection. Null until the first connection; after a
    // disconnection the closed stream stays, so sends fail through sendData's attempts instead
    // of being refused at once. Setting a connection drops bytes kept from the previous one.
    void setConnection(std::shared_ptr<platform::bluetooth::Connection> connection);
    std::shared_ptr<platform::bluetooth::Connection> connection() const;

    // ---- Frame layer ----

    // The connected device's name, cut before " (", is "Auralis+" or "Auralis2". False while
    // no device is connected.
    bool isSecondGeneration() const;
    devlink::Generation generation() const;

    // CRC-16 over bytes[from] up to bytes[to - 1]; 0 for an empty range.
    uint16_t calcCRC16(const uint8_t* bytes, std::size_t from, std::size_t to) const;

    // Wraps a body (id, payload and two checksum placeholder bytes) into a frame: markers of the
    // connected generation; its header when useModelHeader is set, else the first-generation
    // flag byte and length. The checksum is filled in by sendSPPMessage. Empty when the body does
    // not fit the header (shorter than 3 bytes or longer than the length field can state).
    std::vector<uint8_t> buildSPPMessage(const uint8_t* body, std::size_t bodyLength, bool longForm,
                                         int response, bool useModelHeader) const;

    // Fills in the checksum, logs the frame and sends it with sendData. True when sendData
    // reported a positive byte count; false for a frame too short to hold a body.
    bool sendSPPMessage(std::vector<uint8_t> frame);

    // Sends the whole frame over the connection, trying again at once while the send fails, at
    // most 5 attempts in all. Returns the bytes sent, or -1 (also without a connection).
    int sendData(std::vector<uint8_t> frame);

    // Cuts one received chunk into frames, appends those with a good checksum to messages in
    // stream order, and marks the session alive. See devlink::FrameSplitter for the rules,
    // including how a frame split across two reads is joined.
    void parseMessageData(const uint8_t* buffer, std::size_t count,
                          std::vector<SPPMessage>& messages);

    // Recomputes a frame's checksum and compares it with the two bytes before its end marker.
    bool checkMessageCRC(const SPPMessage& message) const;

    // One log line "[method]: label" followed by the bytes as "%02x " (shortened from 100 bytes
    // on: the first 10, "... ", the last 9).
    static void logMessage(const char* label, const char* method, const uint8_t* bytes,
                           std::size_t count);

    // What the response listener does with each chunk it reads: logs it, splits it and
    // dispatches every accepted message in order.
    void handleReceivedChunk(const uint8_t* buffer, std::size_t count);

    // Hands a fresh copy of the message's payload to the handler of its id and response flag
    // (logged first as "MSG_REQ: " or "MSG_RES: " with the id's name); ids not listed for the
    // flag are dropped.
    void dispatchMessage(const SPPMessage& message);

    // ---- Status messages ----

    // The serial-number request (also the keep-alive probe). False without sending when no
    // connection was ever set.
    bool SendGetDeviceIMEI();
    // The reset request: always the first-generation header between the markers of the
    // connected generation. False without sending when no connection was ever set.
    bool sendResetDevice();
    // Acknowledges a report with the given id. False without sending when no connection was
    // ever set.
    bool sendUpdateResponse(uint8_t id);

    // The handlers of 0x60, 0x61, 0xB4 and 0x29. A payload shorter than its layout is ignored
    // (logged, false, no state change, no event, no acknowledgement); extra bytes are ignored.
    bool parseStatusUpdate(const uint8_t* payload, std::size_t length);
    bool parseExtendStatusUpdate(const uint8_t* payload, std::size_t length);
    bool parseSWVersion(const uint8_t* payload, std::size_t length);
    bool parseDeviceIMEI(const uint8_t* payload, std::size_t length);

    // ---- Firmware transfer handlers (BluetoothHandleFota.cpp) ----

    bool parseOpenSessionResponse(const uint8_t* payload, std::size_t length);
    bool parseFOTA2OpenResponse(const uint8_t* payload, std::size_t length);
    bool parseFOTACtrlResponse(const uint8_t* payload, std::size_t length);
    bool parseFOTADownloadDataResponse(const uint8_t* payload, std::size_t length);
    bool parseFOTA2DataResponse(const uint8_t* payload, std::size_t length);
    bool parseFOTAUpdateResponse(const uint8_t* payload, std::size_t length);
    bool parseFOTA2EmergencyResponse(const uint8_t* payload, std::size_t length);

    // ---- Device state: never reset; it keeps the last values received ----

    DeviceStatus deviceStatus() const;
    std::string imeiLeft() const;
    std::string imeiRight() const;
    std::string softwareVersionLeft() const;
    std::string softwareVersionRight() const;

    // ---- Session state for the worker threads ----

    SessionFlags& flags() { return m_flags; }
    // "WAIT_RECV": auto-reset; signalled by every received chunk; wakes the receive watchdog.
    platform::Event& receiveEvent() { return *m_receiveEvent; }
    // "WAIT_ALIVE": auto-reset; signalled by every received chunk; wakes the alive check.
    platform::Event& aliveEvent() { return *m_aliveEvent; }

    // The firmware package of the next transfer; the update flow fills it before the session
    // opens.
    FileInfo FotaBin;

private:
    class ReceiveSink;

    bool sendBody(const uint8_t* body, std::size_t bodyLength, int response, bool useModelHeader);
    void notifyStatus(const DeviceStatus& status);

    std::atomic<IBluetoothHandleDelegate*> m_delegate{nullptr};
    std::atomic<BluetoothDevice*> m_connectedDevice{nullptr};

    mutable std::mutex m_connectionMutex;
    std::shared_ptr<platform::bluetooth::Connection> m_connection;

    SessionFlags m_flags;
    std::unique_ptr<platform::Event> m_receiveEvent;
    std::unique_ptr<platform::Event> m_aliveEvent;

    // Receive side: used only by the thread that reads the connection.
    devlink::FrameSplitter m_splitter;
    std::atomic<bool> m_dropKeptBytes{false};

    mutable std::mutex m_stateMutex;
    DeviceStatus m_status;
    std::string m_imeiLeft;
    std::string m_imeiRight;
    std::string m_softwareVersionLeft;
    std::string m_softwareVersionRight;
};

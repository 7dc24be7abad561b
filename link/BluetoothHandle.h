#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "fota/FileInfo.h"
#include "link/AliveCheck.h"
#include "link/BluetoothDevice.h"
#include "link/DeviceState.h"
#include "link/Discovery.h"
#include "link/FirmwareTransfer.h"
#include "link/FrameCodec.h"
#include "link/FrameReceiver.h"
#include "link/IBluetoothHandleDelegate.h"
#include "link/LinkReceivers.h"
#include "link/LinkTimings.h"
#include "link/LinkWorkers.h"
#include "link/SPPMessage.h"
#include "platform/Event.h"
#include "platform/bluetooth/Backend.h"
#include "platform/bluetooth/Connection.h"

// The device link as the rest of the program sees it: one object for the whole run that finds
// earbuds, connects to one pair over a byte stream, keeps the connection watched, turns received
// frames into events for its receivers, keeps the state the earbuds report and carries the
// firmware transfer.
//
// The handle is the face; the work is done by parts, each a class of its own with its own state
// and lock, which reach the rest of the link through the handle's public operations:
//   LinkWorkers       the worker threads, their pauses and shutdown, the timings
//   FrameReceiver     the receive side: chunks cut into frames, checked and dispatched
//   DeviceState       the status record, versions and serial numbers, and their handlers
//   FirmwareTransfer  the firmware transfer: its state, handlers, fragment reading and the
//                     receive watchdog
//   Discovery         the found devices and the discovery thread
//   AliveCheck        the keep-alive probe thread
// The routing table (MessageRoute.cpp) hands each received message to the part that owns it.
// The handle's own files: BluetoothHandle.cpp (wiring, events, the frame layer's send side and
// the link's requests), BluetoothHandlePlatform.cpp (the procedures over the computer's
// Bluetooth, platform::bluetooth::Backend), BluetoothHandleThreads.cpp (the public session
// operations, the connection, the connect and listener threads, shutdown).
//
// Threads: every public session operation returns at once and works on a detached thread of its
// own (support check, discovery, connect, response listener, alive check, receive watchdog);
// events reach the receivers on those threads. Frames are sent from any thread (one connection
// send per frame, so frames never interleave); receiving, dispatching and every parse handler
// run on one thread at a time (the listener's). The device state is written only by the
// handlers and read as copies. Each worker belongs to the link it was started for: once a new
// connect attempt or a new firmware session replaces that link or session, an old worker ends
// quietly instead of acting on its successor.
//
// Lifetime: the process-wide link (GetInstance) is never destroyed. A link made for a test or a
// command stops its threads and waits for them in shutdown(), which its destructor calls.
namespace devlink {
struct MessageRoute;
}

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

    // Service class ids of the earbuds' serial port, by generation.
    static constexpr const char* kServiceUuidSecond = "00001101-0000-1000-8000-00805F9B34FB";
    static constexpr const char* kServiceUuidFirst = "00001102-0000-1000-8000-00805F9B34FD";
    // Model codes written into the device record by the connect procedure.
    static constexpr const char* kModelCodeSecond = "VX-R175";
    static constexpr const char* kModelCodeFirst = "VX-R170";
    // Discovery keeps only devices whose name contains this (case-sensitive).
    static constexpr const char* kNameFilter = "Auralis";
    // OnDownloadFinish reason when the transfer had to stop because the package could not be
    // read or sent (an unreadable fragment, an entry the data messages cannot carry). The
    // earbuds' own reasons are single bytes (0-255), so this one can never be theirs.
    static constexpr int kFotaReasonPackageUnreadable = -1;

    // The process-wide link over the installed backend, created on the first call (safely from
    // any thread) and never destroyed: detached worker threads may still use it while the
    // process exits.
    static BluetoothHandle* GetInstance();
    // The backend of the process-wide link: each program's main chooses it and installs it
    // before the first GetInstance. Without one that link has no backend (every platform
    // procedure fails: Bluetooth is not available). An install after the first GetInstance does
    // not change the link made.
    static void InstallBackend(std::shared_ptr<platform::bluetooth::Backend> backend);

    // An independent link without a Bluetooth backend: the frame layer works, every platform
    // procedure fails (Bluetooth is not available).
    BluetoothHandle();
    // An independent link over the given backend; tests and auralis-ctl create their own. Logs
    // "BluetoothHandle ++" and "BluetoothHandle --" around creating the two events.
    explicit BluetoothHandle(std::shared_ptr<platform::bluetooth::Backend> backend);
    // Calls shutdown() and waits for the link's threads.
    ~BluetoothHandle();
    BluetoothHandle(const BluetoothHandle&) = delete;
    BluetoothHandle& operator=(const BluetoothHandle&) = delete;

    // ---- Session wiring ----

    // The receivers of events, called one after the other in the order they subscribed (see
    // LinkReceivers). Any thread. removeReceiver returns once no event call to the receiver is in
    // flight any more (except calls the calling thread itself is inside of), so the receiver may
    // go away then.
    void addReceiver(IBluetoothHandleDelegate* receiver) { m_receivers.add(receiver); }
    void removeReceiver(IBluetoothHandleDelegate* receiver) { m_receivers.remove(receiver); }
    bool hasReceiver(const IBluetoothHandleDelegate* receiver) const {
        return m_receivers.contains(receiver);
    }
    // The device of the last connect attempt; it decides the generation. Null until then.
    void setConnectedDevice(BluetoothDevice* device);
    BluetoothDevice* connectedDevice() const { return m_connectedDevice.load(); }
    // The byte stream of the current connection. Null until the first connection; after a
    // disconnection the closed stream stays, so sends fail through sendData's attempts instead
    // of being refused at once. Setting a connection drops bytes kept from the previous one.
    void setConnection(std::shared_ptr<platform::bluetooth::Connection> connection);
    std::shared_ptr<platform::bluetooth::Connection> connection() const;
    // The current link was ended by the earbuds' side (the stream reached its end or failed)
    // rather than closed here or given up for silence.
    bool linkClosedByPeer() const;
    // The backend's code of the last connect attempt (0 connected; EBUSY when the device was
    // busy even after the one retry). Set before OnDeviceConnected is raised for the attempt.
    int lastConnectError() const { return m_lastConnectError.load(); }

    // ---- Test hooks and lifetime ----

    // Shortens the link's pauses and time-outs; takes effect for threads started afterwards.
    void setTimings(const LinkTimings& timings) { m_workers.setTimings(timings); }
    LinkTimings timings() const { return m_workers.timings(); }

    // Stops every worker thread of this link and waits up to timeout for them to end: ends
    // discovery, the alive check and the receive watchdog, closes the connection, cuts every
    // pause short. Afterwards the link starts no threads and raises no events. True when every
    // thread has ended. A backend call in progress runs to its own time-out first.
    bool shutdown(std::chrono::milliseconds timeout = std::chrono::seconds(30));
    // Worker threads of this link that have not ended yet.
    int runningThreads() const { return m_workers.running(); }
    // Forgets everything received, as on a freshly made link: kept bytes of a split frame, the
    // device state and the firmware transfer's state and package. The connection, the connected
    // device, the receivers and the timings stay. For tests and fuzzing, which run many streams
    // through one link; only while no listener thread of this link is running.
    void resetReceivedState();

    // ---- Link session: public operations (BluetoothHandleThreads.cpp) ----

    // Starts the support-check thread: up to 3 radio checks, then OnCheckBluetoothResponse.
    void CheckSupportBluetooth();
    // Marks finding and makes sure the discovery thread runs. While a discovery thread of this
    // link is still running (also one that StopFindDevice asked to end but that has not ended
    // yet) no second thread is started: the running one simply goes on finding. So there is
    // never more than one discovery thread, and the cycle pause is never skipped.
    void StartFindDevice();
    // Clears finding; the discovery thread ends at its next check and raises no more events.
    void StopFindDevice();
    // Starts a connect thread for the device (a record this link handed out, or any record that
    // outlives the attempt). Attempts run one after the other. A null device is refused.
    void ConnectToDevice(BluetoothDevice* device);
    // Closes the connection on the caller's thread. Always true.
    bool DisConnectToDevice();
    // Removes the pairing of the device; returns the backend's code (0 done), for logs.
    int RemoveDevice(BluetoothDevice* device);
    // A copy of the found-devices map: the devices of the last discovery cycle that found any.
    std::map<uint64_t, BluetoothDevice*> foundDevices() const { return m_discovery.foundDevices(); }

    // ---- Platform procedures (BluetoothHandlePlatform.cpp) ----

    // Prepares the computer's Bluetooth for a connect attempt or a discovery run: true when the
    // link has a backend. Logs "WSAStartup() is OK!", or the error and closeService.
    bool startService();
    void closeService();
    // The support check: up to 3 radio checks, a pause apart. True when a radio answered.
    bool checkSupport();
    // One discovery cycle's scan. False (after the lookup-failure pause) when it could not
    // begin; else the devices in range, unfiltered.
    bool runDiscoveryScan(std::vector<platform::bluetooth::DiscoveredDevice>& results);
    // Pairs with the device; true when paired now. "Already paired!" (259) is false too.
    bool pairToDevice(BluetoothDevice* device);
    // The connect procedure: pairing (result ignored), the connected device, model code and
    // service class id by generation, the previous connection closed, the new one opened and
    // installed. Returns the backend's code: 0 connected.
    int connectProcedure(BluetoothDevice* device);
    // The text of a result code of the Bluetooth seam; safe from any thread.
    static std::string formatError(int code);

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
    // buildSPPMessage (short form) and sendSPPMessage in one.
    bool sendBody(const uint8_t* body, std::size_t bodyLength, int response, bool useModelHeader);

    // Sends the whole frame over the connection, trying again at once while the send fails, at
    // most 5 attempts in all. Returns the bytes sent, or -1 (also without a connection).
    int sendData(std::vector<uint8_t> frame);

    // Cuts one received chunk into frames, appends those with a good checksum to messages in
    // stream order, and marks the session alive. See devlink::FrameSplitter for the rules,
    // including how a frame split across two reads is joined.
    void parseMessageData(const uint8_t* buffer, std::size_t count,
                          std::vector<SPPMessage>& messages) {
        m_frames.parseMessageData(buffer, count, messages);
    }

    // Recomputes a frame's checksum and compares it with the two bytes before its end marker.
    bool checkMessageCRC(const SPPMessage& message) const;

    // One log line "[method]: label" followed by the bytes as "%02x " (shortened from 100 bytes
    // on: the first 10, "... ", the last 9).
    static void logMessage(const char* label, const char* method, const uint8_t* bytes,
                           std::size_t count);

    // What the response listener does with each chunk it reads: logs it, splits it and
    // dispatches every accepted message in order.
    void handleReceivedChunk(const uint8_t* buffer, std::size_t count) {
        m_frames.handleChunk(buffer, count);
    }

    // True while this thread handles a data exchange whose frames are not logged one by one
    // (FirmwareTransfer::isQuietDataExchange).
    static bool framesQuiet();
    static constexpr int kLoggedDataExchange = FirmwareTransfer::kLoggedDataExchange;

    // Hands a fresh copy of the message's payload to the handler of its id and response flag
    // (logged first as "MSG_REQ: " or "MSG_RES: " with the id's name); ids not listed for the
    // flag are dropped.
    void dispatchMessage(const SPPMessage& message);
    // What dispatchMessage does with the payload it cut: the routing table's length check (a
    // payload shorter than its layout is logged and ignored) and the owning part's handler.
    // True when a handler took the payload and reported success.
    bool routePayload(int messageId, int response, const uint8_t* payload, std::size_t length);

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

    // ---- Firmware transfer operations (FirmwareTransfer) ----

    // Opens a transfer session for FotaBin: resets the progress, ends a receive watchdog left
    // from an earlier session, waits briefly, sends the open message of the generation, then
    // stops the alive check and starts the receive watchdog. False when the open message could
    // not be built or sent (nothing else changes then).
    bool OpenFotaSession() { return m_transfer.OpenFotaSession(); }
    // Answers the earbuds' MTU request (second generation: offers 650 and uses it). False
    // without a connection.
    bool sendFotaControl() { return m_transfer.sendFotaControl(); }
    // Second generation: tells the earbuds the entry is ready.
    bool sendFOTA2ReadyDownload(int entryId) { return m_transfer.sendFOTA2ReadyDownload(entryId); }
    // First generation: one data message of the requested entry; with advance, the fragment
    // after the acknowledged position offset. True in every case.
    bool sendFOTADownload(bool advance, uint32_t offset) {
        return m_transfer.sendFOTADownload(advance, offset);
    }
    // Second generation: data message packetIndex of a data request at offset. True in every case.
    bool sendFOTA2Download(uint32_t offset, int packetIndex) {
        return m_transfer.sendFOTA2Download(offset, packetIndex);
    }
    // The fixed answers to a second-generation update report and to an emergency request.
    bool sendFOTA2Update() { return m_transfer.sendFOTA2Update(); }
    bool sendFOTA2Emergency() { return m_transfer.sendFOTA2Emergency(); }

    // Any thread. The firmware package of the next transfer; the update flow sets it before the
    // session opens, while the listener's handlers may still read the previous one.
    void setFotaBin(FileInfo package) { m_transfer.setFotaBin(std::move(package)); }
    FileInfo fotaBin() const { return m_transfer.fotaBin(); }

    // ---- Device state: never reset; it keeps the last values received ----

    DeviceStatus deviceStatus() const { return m_deviceState.status(); }
    std::string imeiLeft() const { return m_deviceState.imeiLeft(); }
    std::string imeiRight() const { return m_deviceState.imeiRight(); }
    std::string softwareVersionLeft() const { return m_deviceState.softwareVersionLeft(); }
    std::string softwareVersionRight() const { return m_deviceState.softwareVersionRight(); }

    // ---- Session state for the worker threads ----

    SessionFlags& flags() { return m_flags; }
    // "WAIT_RECV": auto-reset; signalled by every received chunk and by every change of the
    // receive watchdog's stop flag.
    platform::Event& receiveEvent() { return m_transfer.receiveEvent(); }
    // "WAIT_ALIVE": auto-reset; signalled by every received chunk; wakes the alive check.
    platform::Event& aliveEvent() { return m_aliveCheck.event(); }

    // ---- For the link's parts ----

    // Raises one event: event(receiver) for every receiver. Nothing once shutdown has begun.
    // Every event of the link, also those its parts raise, goes through here.
    template <typename Event>
    void notify(Event&& event) const {
        m_receivers.notify(std::forward<Event>(event));
    }

    LinkWorkers& workers() { return m_workers; }
    bool stopping() const { return m_workers.stopping(); }
    DeviceState& deviceState() { return m_deviceState; }
    FirmwareTransfer& transfer() { return m_transfer; }
    AliveCheck& aliveCheck() { return m_aliveCheck; }

    // The link the workers of epoch belong to is still the current one.
    bool isCurrentLink(uint64_t epoch) const;
    uint64_t currentLink() const;
    // The earbuds' side closed link `epoch` (its listener saw the stream end).
    bool peerClosed(uint64_t epoch) const;
    // A watchdog found the link dead: when the link of epoch is still the current one, stops the
    // alive check, logs why, closes the connection and returns true (the caller raises the event).
    bool failLink(uint64_t epoch, const char* method, const char* why);

private:
    // ---- Threads (BluetoothHandleThreads.cpp) ----
    void ThreadCheckSupportBluetooth();
    void ThreadConnectDevice(BluetoothDevice* device);
    // connectProcedure, tried once more after a short pause when the device is busy.
    int connectOrRetryBusy(BluetoothDevice* device);
    void ThreadResponseListener(std::shared_ptr<platform::bluetooth::Connection> stream,
                                uint64_t epoch);
    void noteStreamEnd(uint64_t epoch);
    void closeConnectionLocked(const char* method);
    // The routing table's length check and the handler of the route.
    bool deliver(const devlink::MessageRoute& route, const uint8_t* payload, std::size_t length);

    std::shared_ptr<platform::bluetooth::Backend> m_backend;

    SessionFlags m_flags;
    std::atomic<int> m_lastConnectError{0};
    LinkWorkers m_workers;

    // Connect attempts run one after the other.
    std::mutex m_connectMutex;

    LinkReceivers m_receivers;
    std::atomic<BluetoothDevice*> m_connectedDevice{nullptr};

    mutable std::mutex m_connectionMutex;
    std::shared_ptr<platform::bluetooth::Connection> m_connection;
    // Counts the links: raised by every connection change and every connect attempt.
    uint64_t m_linkEpoch = 0;
    // The epoch of the last link closed here, and of the last link whose stream ended from the
    // other side (kNoLink: none). A listener that sees its stream end tells the two apart, so
    // only a link the peer closed wakes the watchdog that owns it.
    static constexpr uint64_t kNoLink = ~uint64_t{0};
    std::atomic<uint64_t> m_closedHereEpoch{kNoLink};
    std::atomic<uint64_t> m_peerClosedEpoch{kNoLink};

    // The parts; they use the members above through the public operations.
    FrameReceiver m_frames{*this};
    DeviceState m_deviceState{*this};
    FirmwareTransfer m_transfer{*this};
    Discovery m_discovery{*this};
    AliveCheck m_aliveCheck{*this};
};

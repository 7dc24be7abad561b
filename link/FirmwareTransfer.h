#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "fota/FileInfo.h"
#include "platform/Event.h"

class BluetoothHandle;

// The firmware transfer of the device link, both generations: the package being transferred,
// the transfer's state, the operations that open the session and answer the earbuds, the
// handlers of the earbuds' transfer messages, the fragment reading and the receive watchdog
// that ends the link after 20 s without a received byte during a transfer. After
// OpenFotaSession the earbuds drive the transfer; every handler runs on the listener thread
// and the data messages go out from inside the handler that received the request.
//
// Locking: m_mutex orders FotaBin, which the update flow fills before OpenFotaSession, with the
// handlers that read it. The rest is written by the listener's handlers only; OpenFotaSession
// resets the atomic fields before the open message leaves.
class FirmwareTransfer {
public:
    // During a transfer's data phase the earbuds send one data acknowledgement (first
    // generation) or data request (second generation) after another, thousands per MiB. Only
    // the first of an entry and every kLoggedDataExchange-th after it (and every other message)
    // are logged frame by frame; the ones between are summarised in one line with the next
    // logged one. Failures (bad checksums, broken frames, failed sends) are always logged.
    static constexpr int kLoggedDataExchange = 64;

    explicit FirmwareTransfer(BluetoothHandle& link) : m_link(link) {}
    FirmwareTransfer(const FirmwareTransfer&) = delete;
    FirmwareTransfer& operator=(const FirmwareTransfer&) = delete;

    // Any thread. The firmware package of the next transfer.
    void setFotaBin(FileInfo package);
    FileInfo fotaBin() const;

    // ---- Operations (the handle's face forwards them) ----
    bool OpenFotaSession();
    bool sendFotaControl();
    bool sendFOTA2ReadyDownload(int entryId);
    bool sendFOTADownload(bool advance, uint32_t offset);
    bool sendFOTA2Download(uint32_t offset, int packetIndex);
    bool sendFOTA2Update();
    bool sendFOTA2Emergency();

    // ---- Handlers the routing table names; the payload holds at least the row's length ----
    bool parseOpenSessionResponse(const uint8_t* payload, std::size_t length);
    bool parseFOTA2OpenResponse(const uint8_t* payload, std::size_t length);
    bool parseFOTACtrlResponse(const uint8_t* payload, std::size_t length);
    bool parseFOTADownloadDataResponse(const uint8_t* payload, std::size_t length);
    bool parseFOTA2DataResponse(const uint8_t* payload, std::size_t length);
    bool parseFOTAUpdateResponse(const uint8_t* payload, std::size_t length);
    bool parseFOTA2EmergencyResponse(const uint8_t* payload, std::size_t length);

    // ---- The receive side's view ----

    // Every received chunk: restarts the watchdog's 20 s and signals "WAIT_RECV".
    void noteChunk();
    // "WAIT_RECV": auto-reset; signalled by every received chunk and by every change of the
    // receive watchdog's stop flag.
    platform::Event& receiveEvent() { return m_receiveEvent; }
    // Wakes the receive watchdog to look at its stop flag, its session and its link.
    void wakeWatchdog() { m_watchdogWake.signal(); }
    // Whether the chunk is one data exchange of the current entry that is summarised instead of
    // logged frame by frame (see kLoggedDataExchange); counts the exchanges.
    bool isQuietDataExchange(const uint8_t* buffer, std::size_t count);
    // Forgets the package and the transfer's state (tests and fuzzing).
    void reset();

private:
    void ThreadCheckDeviceConnect(uint64_t session, uint64_t epoch);
    // Reads n bytes of the requested entry at the fragment position into out; on a read
    // failure stops the transfer (OnDownloadFinish(false, kFotaReasonPackageUnreadable)).
    bool readEntryFragment(uint32_t position, std::size_t n, uint8_t* out);
    void abortTransfer(const char* why);
    // Signals the receive event and wakes the receive watchdog (its stop flag or session changed).
    void wakeReceiveWatchdog();
    // Largest fragment the data message of the generation can carry.
    int fragmentLimit() const;
    void raiseProgress();

    BluetoothHandle& m_link;

    mutable std::mutex m_mutex;
    FileInfo FotaBin;  // under m_mutex
    std::atomic<uint64_t> m_fotaSession{0};
    std::atomic<bool> m_fotaAborted{false};
    std::atomic<int> m_percent{0};
    std::atomic<uint64_t> m_bytesSent{0};
    std::atomic<int64_t> uDownloadedSize{0};
    std::atomic<int> m_fragmentSize{0};
    int m_lastState = 0;
    int m_lastError = 0;
    int mDownloadEntryID = 0;
    std::atomic<bool> m_entrySelected{false};
    uint32_t mDownloadEntryPos = 0;
    uint32_t mDownloadEntrySize = 0;
    uint32_t m_fragmentPosition = 0;
    // Data bytes of the first-generation fragment sent last, at m_fragmentPosition.
    uint32_t m_sentLength = 0;
    bool m_lastFragment = false;
    std::string m_entryPath;
    // Data exchanges of the requested entry so far (listener thread).
    int m_dataExchanges = 0;

    platform::Event m_receiveEvent{platform::Event::Reset::Auto};
    // The receive watchdog measures silence from the last received chunk instead of waking for
    // every chunk (which costs a thread switch per chunk during a transfer); it is woken only
    // to stop.
    std::atomic<uint64_t> m_lastChunkTick{0};
    platform::Event m_watchdogWake{platform::Event::Reset::Auto};
};

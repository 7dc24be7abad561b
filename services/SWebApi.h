#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "services/WebApiData.h"

// Requests to the update server. One object per requester; each asynchronous request runs on a
// worker thread of its own and reports through the callback, on that thread:
//   GetFirmwareVersion, GetTesselVersion  one callback: type 1 with the answer, or type 0
//   GetDownLoad                           type 2 callbacks, then type 3, or type 0
// The WEBAPI_DATA record and everything it points to are valid only during the callback.
//
// The callback's result matters for progress: returning false from a type 2 callback stops the
// download (the partial data is removed and no further callback comes). Its result is ignored
// otherwise.
//
// Errors (WEBAPI_DATA::error): WEBAPI_ERROR_NETWORK (6) when no connection to the server could
// be made; WEBAPI_ERROR_INTERRUPTED when it was reached but the answer broke off, stalled,
// crawled or ran longer than announced or allowed; WEBAPI_ERROR_NO_SERVER when no update server
// is set; the HTTP status when the server answered with 400 or above; WEBAPI_ERROR_BAD_ADDRESS
// for an address or redirect that is not followed; WEBAPI_ERROR_DISK_FULL when a download finds
// no room; otherwise one of WEBAPI_ERROR_CODE (a malformed answer gives WEBAPI_ERROR_BAD_ANSWER).
//
// The update server's base address is $AURALIS_UPDATE_URL, else the value "ServerUrl" of the
// settings section "Update", else none. Addresses must be https, or plain http to this machine
// (loopback); certificates are always verified.
//
// Destroying the object cancels its running requests and waits for their threads, so no
// callback runs once the destructor has returned. Destroy it before anything its callback
// touches. The destructor may also run inside one of the object's own callbacks.
class SWebApi {
public:
    using Callback = std::function<bool(WEBAPI_DATA*)>;

    // reportProgress false leaves out the type 2 callbacks of downloads.
    SWebApi(Callback callback, bool reportProgress);
    ~SWebApi();
    SWebApi(const SWebApi&) = delete;
    SWebApi& operator=(const SWebApi&) = delete;

    // Asks for the newest firmware of an earbud model (GET {base}/firmware/latest?model=…).
    // Returns false when the request could not be started (then no callback comes).
    bool GetFirmwareVersion(const std::string& model);

    // Asks for the newest version of this PC application (GET {base}/app/latest). product and
    // currentVersion, when not empty, are sent as the query values "product" and "current".
    // With asynchronous false the request runs on the calling thread and the callback is made
    // there before the call returns.
    bool GetTesselVersion(const std::string& product, bool asynchronous,
                          const std::string& currentVersion);

    // The size in bytes that the server gives for url (HEAD, Content-Length). 0 when the request
    // fails, the size is unknown or does not fit 32 bits. Synchronous; at most 30 s.
    std::uint32_t GetDownloadFileSize(const std::string& url);

    // Downloads url into path. The data goes into a fresh temporary file beside it
    // ("<path>.XXXXXX"), which is renamed to path (and the folder flushed) only when the download
    // is complete; on any failure or cancellation it is removed, and whatever was at path before
    // stays untouched. So a file at path is always a complete download. A body longer than the
    // announced size or than SetMaxDownloadBytes, or an announced size above that limit, ends
    // the download with WEBAPI_ERROR_INTERRUPTED.
    bool GetDownLoad(const std::string& url, const std::string& path);

    // Cancels the running requests at once without waiting for them: none of them calls back
    // afterwards (a callback already running finishes), and a download's files are removed.
    // Later requests run as usual. Any thread, also inside a callback.
    void Cancel();

    // The most a download may bring (default kDefaultMaxDownloadBytes). For later downloads.
    static constexpr std::uint64_t kDefaultMaxDownloadBytes = 512ull * 1024 * 1024;
    void SetMaxDownloadBytes(std::uint64_t bytes) { m_maxDownloadBytes = bytes; }

    // The update server's base address in force, without a trailing '/'; empty when none.
    static std::string GetBaseUrl();

    struct Job;

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<Job> job;
    };

    bool start(std::function<void(Job&)> body);
    void reapFinished();

    const Callback m_callback;
    const bool m_reportProgress;
    std::mutex m_mutex;
    bool m_stopping = false;
    std::vector<Worker> m_workers;
    std::uint64_t m_maxDownloadBytes = kDefaultMaxDownloadBytes;
};

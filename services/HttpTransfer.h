#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "base/Error.h"

namespace services {

// One HTTP(S) transfer over libcurl, cancellable from another thread at once (the transfer waits
// in curl_multi_poll, which cancel() wakes). Keeps libcurl out of every header of the project.
//
// Policy applied to every transfer: TLS certificates and host names are verified; plain http is
// accepted only for loopback hosts, and never through a proxy (a proxy would carry it off the
// machine unencrypted); redirects are followed (at most 5, to https only); a connection attempt
// gives up after 10 s, and a transfer that stays below the least speed (StallLimit: 1 KiB/s for
// 30 s) is abandoned, whether the server stalls before its answer or crawls through the body.
class HttpTransfer {
public:
    enum class Method { Get, Head };

    struct Options {
        Method method = Method::Get;
        // The whole transfer, in milliseconds; 0 for no limit (downloads rely on the low-speed
        // rule instead).
        long timeoutMs = 0;
    };

    struct Result {
        int curlCode = 0;          // CURLcode; 0 when the transfer completed
        long httpStatus = 0;       // the last response's status, 0 when none arrived
        std::int64_t length = -1;  // Content-Length of the response, -1 when unknown
        bool refused = false;      // the address was refused before any traffic
        bool connected = false;    // a connection to the server was made
        bool cancelled = false;    // cancel() or a sink ended the transfer
        std::string message;       // libcurl's text for the failure
    };

    // What went wrong, in the classes callers act on.
    enum class Failure {
        None,
        Cancelled,    // cancel() or a sink ended it
        BadAddress,   // refused address, malformed address, redirect to a refused protocol
        Network,      // no connection to the server could be made
        Interrupted,  // the server was reached, but its answer broke off, stalled or crawled
        Tls,          // certificate or TLS failure
        HttpStatus,   // the server answered with a status of 400 or above
        Other,
    };
    static Failure classify(const Result& result);
    // The failure in plain words with libcurl's own text ("no connection to the server could be
    // made (Could not connect to server)"), its code the CURLcode; no error when the transfer
    // completed.
    static base::Error describe(const Result& result);

    // Receives each piece of the body with the expected total length (-1 when unknown). Return
    // false to end the transfer (then Result::cancelled is set).
    using BodySink = std::function<bool(std::string_view piece, std::int64_t total)>;

    HttpTransfer();
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    // Runs the transfer on the calling thread. Statuses of 400 and above fail the transfer
    // (curlCode 22, httpStatus set) before any of the body reaches the sink.
    Result perform(const std::string& url, const Options& options, const BodySink& sink);

    // Ends a running transfer (or the next one) as soon as possible. Any thread.
    void cancel();
    bool isCancelled() const { return m_cancelled.load(); }

    // True when url is http(s) and plain http goes only to a loopback host.
    static bool isAllowedUrl(const std::string& url);
    // True when url's host is a loopback address or "localhost".
    static bool isLoopbackUrl(const std::string& url);

    // The least speed a transfer must keep: below bytesPerSecond for seconds, it is abandoned.
    struct StallLimit {
        long bytesPerSecond = 1024;
        long seconds = 30;
    };
    // For every later transfer of the process; tests shorten it.
    static void setStallLimit(StallLimit limit);
    static StallLimit stallLimit();
    // url-encodes a query value.
    static std::string escape(std::string_view text);

private:
    struct Handles;
    std::unique_ptr<Handles> m_handles;
    std::atomic<bool> m_cancelled{false};
};

}  // namespace services

#pragma once

#include <chrono>
#include <string>

namespace services {

// How far a connection to a server gets: name resolution, the connection, and for https the TLS
// handshake with the certificate verified against the system's authorities. Nothing is requested
// from the server.
struct ServerProbeResult {
    enum class Stage {
        Refused,  // not an address the web layer would use (only https, or http on loopback)
        Resolve,  // the host name did not resolve
        Connect,  // no connection (refused, unreachable, timed out)
        Tls,      // the TLS handshake or the certificate check failed
        Reached,  // connected (and, for https, the certificate is valid)
    };
    Stage stage = Stage::Refused;
    std::string host;
    std::string address;  // the address connected to (or tried last)
    bool tls = false;     // https (else plain http to this machine)
    std::string error;    // libcurl's words for the failure
    std::chrono::milliseconds resolveTime{0};
    std::chrono::milliseconds totalTime{0};
};

ServerProbeResult probeServer(const std::string& url, std::chrono::milliseconds timeout);

}  // namespace services

#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "sim/SimConfig.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace sim {

class Neighbourhood;

// The local update server on 127.0.0.1:
//
//   GET /firmware/latest?model=VX-R175 {"version","url","flag","notes":{...},"extra","notesKorean"}
//   GET /firmware/download?model=M&version=V&file=Auralis_M_V.bin   the package, built on the fly
//   GET /app/latest                       {"version","url","notice"}
//   GET /app/download/LumoraAuralisManagerSetup-V.sh                the installer (a shell script)
//
// HEAD on either download answers its Content-Length. The faults switch answers to versions that
// are not newer, to HTTP 500, to slow downloads, to downloads that break off part-way a given
// number of times before one succeeds, to a structurally unsound firmware package, or to HEAD
// answers that announce a size other than what GET delivers.
class UpdateServer {
public:
    UpdateServer(UpdateServerSettings settings, const Neighbourhood* neighbourhood);
    ~UpdateServer();
    UpdateServer(const UpdateServer&) = delete;
    UpdateServer& operator=(const UpdateServer&) = delete;

    // Binds 127.0.0.1 on the configured port (0 picks a free one) and serves on a thread of its
    // own. On failure error says why.
    bool start(std::string* error);
    void stop();

    int port() const { return m_port; }
    std::string baseUrl() const;

    ServerFaults faults() const;
    void setFaults(const ServerFaults& faults);
    // Replaces the newest firmware version of a model; false for an unknown model.
    bool setFirmwareVersion(const std::string& model, const std::string& version);
    void setAppVersion(const std::string& version);

    static std::string installerName(const std::string& version);
    static std::string packageName(const std::string& model, const std::string& version);

private:
    void route();
    void firmwareLatest(const httplib::Request& request, httplib::Response& response);
    void firmwareDownload(const httplib::Request& request, httplib::Response& response);
    void appLatest(httplib::Response& response);
    void appDownload(const httplib::Request& request, httplib::Response& response);
    bool failing(httplib::Response& response) const;
    void serveBytes(const httplib::Request& request, httplib::Response& response,
                    std::shared_ptr<const std::vector<uint8_t>> bytes, const char* contentType);
    std::shared_ptr<const std::vector<uint8_t>> package(const std::string& model,
                                                        const std::string& version,
                                                        std::string* error);
    std::string currentVersionOf(const std::string& model) const;
    std::string installerScript(const std::string& version) const;

    const Neighbourhood* m_neighbourhood;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};

    mutable std::mutex m_mutex;
    UpdateServerSettings m_settings;
    std::map<std::pair<std::string, std::string>, std::shared_ptr<const std::vector<uint8_t>>>
        m_packages;
    std::map<std::string, std::vector<uint8_t>> m_images;  // by model
    // The installer file's bytes when one is configured; null serves the stand-in script.
    std::shared_ptr<const std::vector<uint8_t>> m_installer;
};

}  // namespace sim

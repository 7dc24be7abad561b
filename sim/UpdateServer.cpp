#include "sim/UpdateServer.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>

#include "auralis/Version.h"
#include "base/Log.h"
#include "sim/FirmwarePackageBuilder.h"
#include "sim/Neighbourhood.h"

namespace sim {
namespace {

constexpr const char* kHost = "127.0.0.1";
constexpr auto kSlowStep = std::chrono::milliseconds(50);
// What a HEAD request adds to the real size when the server is told to announce a wrong one.
constexpr std::size_t kWrongSizeExtra = 1000;
constexpr std::size_t kMaxVersionLength = 64;

void answerJson(httplib::Response& response, const nlohmann::ordered_json& json) {
    // Release notes or versions given as arbitrary bytes are sent with U+FFFD for what is not
    // UTF-8, rather than ending the server.
    response.set_content(
        json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace),
        "application/json; charset=utf-8");
}

// The package with its first entry moved past the end of the file: structurally unsound, whatever
// its check values say.
std::shared_ptr<const std::vector<uint8_t>> corrupted(const std::vector<uint8_t>& package) {
    auto bytes = std::make_shared<std::vector<uint8_t>>(package);
    constexpr std::size_t kFirstEntryOffset = 12 + 8;
    if (bytes->size() >= kFirstEntryOffset + 4) {
        const auto outside = static_cast<uint32_t>(bytes->size() + 4096);
        for (std::size_t i = 0; i < 4; ++i) {
            (*bytes)[kFirstEntryOffset + i] = static_cast<uint8_t>(outside >> (8 * i));
        }
    }
    return bytes;
}

void answerError(httplib::Response& response, int status, const std::string& text) {
    response.status = status;
    response.set_content(text + "\n", "text/plain; charset=utf-8");
}

// Versions and models end up in file names and addresses; keep them to plain characters.
bool plainText(const std::string& text) {
    return !text.empty() && text.size() <= kMaxVersionLength &&
           std::all_of(text.begin(), text.end(), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' ||
                      c == '_';
           });
}

// The version an installer file installs: from the label its self-extracting header carries
// ("Auralis Manager 1.2.3"), else from its file name ("AuralisManagerSetup-1.2.3.run"). Empty
// when neither tells.
std::string installerFileVersion(const std::vector<uint8_t>& bytes,
                                 const std::filesystem::path& file) {
    constexpr std::size_t kHeaderBytes = 64 * 1024;
    const std::string head(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                              bytes.size(), kHeaderBytes)));
    const std::string label = "label=\"Auralis Manager ";
    if (const std::size_t at = head.find(label); at != std::string::npos) {
        const std::size_t start = at + label.size();
        const std::size_t end = head.find('"', start);
        if (end != std::string::npos && plainText(head.substr(start, end - start))) {
            return head.substr(start, end - start);
        }
    }
    const std::string name = file.filename().string();
    const std::string prefix = "AuralisManagerSetup-";
    const std::string suffix = ".run";
    if (name.starts_with(prefix) && name.ends_with(suffix) &&
        name.size() > prefix.size() + suffix.size()) {
        const std::string version =
            name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        if (plainText(version)) {
            return version;
        }
    }
    return {};
}

}  // namespace

UpdateServer::UpdateServer(UpdateServerSettings settings, const Neighbourhood* neighbourhood)
    : m_neighbourhood(neighbourhood), m_settings(std::move(settings)) {}

UpdateServer::~UpdateServer() {
    stop();
}

std::string UpdateServer::baseUrl() const {
    return std::string("http://") + kHost + ":" + std::to_string(m_port);
}

std::string UpdateServer::installerName(const std::string& version) {
    // The update client names the installer after everything from "Lumora" on.
    return "LumoraAuralisManagerSetup-" + version + ".sh";
}

std::string UpdateServer::packageName(const std::string& model, const std::string& version) {
    return "Auralis_" + model + "_" + version + ".bin";
}

bool UpdateServer::start(std::string* error) {
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [model, release] : m_settings.firmware) {
            std::vector<uint8_t> image;
            if (!FirmwarePackageBuilder::loadImage(release.image, release.imageSize, image,
                                                   error)) {
                return false;
            }
            m_images[model] = std::move(image);
        }
        if (!m_settings.app.installer.empty()) {
            std::ifstream in(m_settings.app.installer, std::ios::binary);
            if (!in) {
                *error = "cannot read the installer " + m_settings.app.installer.string();
                return false;
            }
            m_installer = std::make_shared<const std::vector<uint8_t>>(
                std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            // The offer names the version the installer really installs: an installer of the
            // running version offered as a newer one would be offered again after every update.
            const std::string version =
                installerFileVersion(*m_installer, m_settings.app.installer);
            if (version.empty()) {
                *error = "cannot tell which version the installer " +
                         m_settings.app.installer.string() +
                         " installs (its label or its name AuralisManagerSetup-VERSION.run)";
                return false;
            }
            m_settings.app.version = version;
        }
    }
    m_server = std::make_unique<httplib::Server>();
    // Stopping waits for idle keep-alive connections; keep that wait short.
    m_server->set_keep_alive_timeout(1);
    route();
    const int wanted = m_settings.port;
    if (wanted == 0) {
        m_port = m_server->bind_to_any_port(kHost);
    } else {
        m_port = m_server->bind_to_port(kHost, wanted) ? wanted : -1;
    }
    if (m_port <= 0) {
        *error = "cannot listen on " + std::string(kHost) + ":" + std::to_string(wanted);
        m_server.reset();
        m_port = 0;
        return false;
    }
    m_stopping = false;
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // httplib's stop() does nothing until the listening loop runs; a stop right after start
    // would otherwise leave that loop blocked in accept for good.
    for (int i = 0; i < 5000 && !m_server->is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    _Log(LOG_INFO, "UpdateServer::start", __LINE__, "serving %s", baseUrl().c_str());
    return true;
}

void UpdateServer::stop() {
    if (!m_server) {
        return;
    }
    m_stopping = true;
    m_server->stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_server.reset();
}

void UpdateServer::route() {
    m_server->set_logger([](const httplib::Request& request, const httplib::Response& response) {
        _Log(LOG_INFO, "UpdateServer::request", __LINE__, "%s %s -> %d", request.method.c_str(),
             request.target.c_str(), response.status);
    });
    m_server->Get("/firmware/latest",
                  [this](const httplib::Request& request, httplib::Response& response) {
                      firmwareLatest(request, response);
                  });
    m_server->Get("/firmware/download",
                  [this](const httplib::Request& request, httplib::Response& response) {
                      firmwareDownload(request, response);
                  });
    m_server->Get("/app/latest", [this](const httplib::Request&, httplib::Response& response) {
        appLatest(response);
    });
    m_server->Get(R"(/app/download/([^/]+))",
                  [this](const httplib::Request& request, httplib::Response& response) {
                      appDownload(request, response);
                  });
}

ServerFaults UpdateServer::faults() const {
    std::lock_guard lock(m_mutex);
    return m_settings.faults;
}

void UpdateServer::setFaults(const ServerFaults& faults) {
    std::lock_guard lock(m_mutex);
    m_settings.faults = faults;
}

bool UpdateServer::setFirmwareVersion(const std::string& model, const std::string& version) {
    std::lock_guard lock(m_mutex);
    const auto release = m_settings.firmware.find(model);
    if (release == m_settings.firmware.end() || !plainText(version)) {
        return false;
    }
    release->second.version = version;
    return true;
}

void UpdateServer::setAppVersion(const std::string& version) {
    std::lock_guard lock(m_mutex);
    m_settings.app.version = version;
}

bool UpdateServer::failing(httplib::Response& response) const {
    if (faults().error500) {
        answerError(response, 500, "simulated server error");
        return true;
    }
    return false;
}

// --- firmware -------------------------------------------------------------------------------

std::string UpdateServer::currentVersionOf(const std::string& model) const {
    // "No newer version": the oldest version the virtual earbuds of that model run, which is the
    // one the program shows as theirs.
    std::string oldest;
    if (m_neighbourhood != nullptr) {
        for (const auto& device : m_neighbourhood->devices()) {
            if (modelCodeOf(device->generation()) != model) {
                continue;
            }
            const EarbudState state = device->state();
            for (const std::string* version : {&state.versionLeft, &state.versionRight}) {
                if (!version->empty() && (oldest.empty() || *version < oldest)) {
                    oldest = *version;
                }
            }
        }
    }
    return oldest.empty() ? "0.0.0" : oldest;
}

void UpdateServer::firmwareLatest(const httplib::Request& request, httplib::Response& response) {
    if (failing(response)) {
        return;
    }
    const std::string model = request.get_param_value("model");
    FirmwareRelease release;
    bool noNewer = false;
    {
        std::lock_guard lock(m_mutex);
        const auto found = m_settings.firmware.find(model);
        if (found == m_settings.firmware.end()) {
            answerError(response, 404, "no firmware for model \"" + model + "\"");
            return;
        }
        release = found->second;
        noNewer = m_settings.faults.noNewer;
    }
    const std::string version = noNewer ? currentVersionOf(model) : release.version;
    const std::string url = baseUrl() + "/firmware/download?model=" + model +
                            "&version=" + version + "&file=" + packageName(model, version);
    // The firmware answer's six fields, in their order.
    nlohmann::ordered_json notes = nlohmann::ordered_json::object();
    for (const auto& [code, text] : release.notes) {
        notes[code] = text;
    }
    answerJson(response, {{"version", version},
                          {"url", url},
                          {"flag", std::clamp(release.flag, 0, 255)},
                          {"notes", notes},
                          {"extra", release.extra},
                          {"notesKorean", release.notesKorean}});
}

std::shared_ptr<const std::vector<uint8_t>> UpdateServer::package(const std::string& model,
                                                                  const std::string& version,
                                                                  std::string* error) {
    std::lock_guard lock(m_mutex);
    const auto key = std::make_pair(model, version);
    if (const auto cached = m_packages.find(key); cached != m_packages.end()) {
        return cached->second;
    }
    const auto image = m_images.find(model);
    if (image == m_images.end()) {
        *error = "no firmware image for model \"" + model + "\"";
        return nullptr;
    }
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    if (!FirmwarePackageBuilder::build(model, version, image->second, *bytes, error)) {
        return nullptr;
    }
    m_packages[key] = bytes;
    return bytes;
}

void UpdateServer::firmwareDownload(const httplib::Request& request, httplib::Response& response) {
    if (failing(response)) {
        return;
    }
    const std::string model = request.get_param_value("model");
    const std::string version = request.get_param_value("version");
    if (!plainText(model) || !plainText(version)) {
        answerError(response, 400, "model and version are required");
        return;
    }
    std::string error;
    auto bytes = package(model, version, &error);
    if (!bytes) {
        answerError(response, 404, error);
        return;
    }
    if (faults().corruptPackage) {
        bytes = corrupted(*bytes);
    }
    serveBytes(request, response, bytes, "application/octet-stream");
}

// --- application ----------------------------------------------------------------------------

void UpdateServer::appLatest(httplib::Response& response) {
    if (failing(response)) {
        return;
    }
    AppRelease app;
    bool noNewer = false;
    {
        std::lock_guard lock(m_mutex);
        app = m_settings.app;
        noNewer = m_settings.faults.noNewer;
    }
    const std::string version = noNewer ? std::string(AURALIS_VERSION) : app.version;
    answerJson(response, {{"version", version},
                          {"url", baseUrl() + "/app/download/" + installerName(version)},
                          {"notice", app.notice}});
}

std::string UpdateServer::installerScript(const std::string& version) const {
    // Like the real installer it ends by starting the program it "installed", from the folder
    // the update client names; as nothing was installed, that program is told to report the
    // new version, so the demo does not offer the same update again.
    return "#!/bin/sh\n"
           "# Installer of Auralis Manager " +
           version +
           " as served by auralis-sim (a demo).\n"
           "# It installs nothing: it says so, records how it was started and starts the program\n"
           "# again as the new version, as a real installer starts the version it installed.\n"
           "echo \"Auralis Manager " +
           version +
           " installer (auralis-sim): $* - a demo: nothing is installed\"\n"
           "if [ -n \"$AURALIS_SIM_INSTALL_LOG\" ]; then\n"
           "  printf '%s %s\\n' \"" +
           version +
           "\" \"$*\" >> \"$AURALIS_SIM_INSTALL_LOG\"\n"
           "fi\n"
           "program=\"${AURALIS_INSTALL_FOLDER:-}/AuralisManager\"\n"
           "case \"$*\" in\n"
           "  '/z\"liveupdate\"' | /zliveupdate)\n"
           "    if [ -n \"${AURALIS_INSTALL_FOLDER:-}\" ] && [ -x \"$program\" ]; then\n"
           "      echo \"Starting Auralis Manager again, as version " +
           version +
           ": $program\"\n"
           "      AURALIS_LOCAL_VERSION='" +
           version +
           "' setsid \"$program\" </dev/null >/dev/null 2>&1 &\n"
           "    fi\n"
           "    ;;\n"
           "esac\n"
           "exit 0\n";
}

void UpdateServer::appDownload(const httplib::Request& request, httplib::Response& response) {
    if (failing(response)) {
        return;
    }
    const std::string name = request.matches.size() > 1 ? std::string(request.matches[1]) : "";
    const std::string prefix = installerName("");
    const std::string suffix = ".sh";
    // LumoraAuralisManagerSetup-<version>.sh
    const std::string stem = prefix.substr(0, prefix.size() - suffix.size());
    if (!name.starts_with(stem) || !name.ends_with(suffix)) {
        answerError(response, 404, "no installer \"" + name + "\"");
        return;
    }
    const std::string version = name.substr(stem.size(), name.size() - stem.size() - suffix.size());
    if (!plainText(version)) {
        answerError(response, 404, "no installer \"" + name + "\"");
        return;
    }
    std::shared_ptr<const std::vector<uint8_t>> installer;
    {
        std::lock_guard lock(m_mutex);
        installer = m_installer;
    }
    if (installer) {
        serveBytes(request, response, std::move(installer), "application/octet-stream");
        return;
    }
    const std::string script = installerScript(version);
    serveBytes(request, response,
               std::make_shared<const std::vector<uint8_t>>(script.begin(), script.end()),
               "application/x-sh");
}

// --- downloads ------------------------------------------------------------------------------

void UpdateServer::serveBytes(const httplib::Request& request, httplib::Response& response,
                              std::shared_ptr<const std::vector<uint8_t>> bytes,
                              const char* contentType) {
    bool drop = false;
    int rate = 0;
    std::size_t announcedExtra = 0;
    {
        std::lock_guard lock(m_mutex);
        rate = m_settings.faults.slowBytesPerSecond;
        if (request.method == "HEAD" && m_settings.faults.wrongSize) {
            announcedExtra = kWrongSizeExtra;
        }
        if (request.method == "GET" && m_settings.faults.dropCount > 0) {
            --m_settings.faults.dropCount;
            drop = true;
        }
    }
    if (drop) {
        _Log(LOG_INFO, "UpdateServer::serveBytes", __LINE__,
             "%s: this download breaks off half-way", request.path.c_str());
    }
    const std::size_t total = bytes->size();
    // A dropped download stops after half of the bytes; Content-Length still states them all.
    const std::size_t stopAt = drop ? total / 2 : total;
    const std::size_t step =
        rate > 0 ? std::max<std::size_t>(1, static_cast<std::size_t>(rate) / 20) : 64 * 1024;
    response.set_content_provider(
        total + announcedExtra, contentType,
        [this, bytes, stopAt, step, rate](std::size_t offset, std::size_t length,
                                          httplib::DataSink& sink) {
            if (m_stopping || offset >= stopAt) {
                return false;
            }
            const std::size_t count = std::min({length, step, stopAt - offset});
            if (rate > 0) {
                std::this_thread::sleep_for(kSlowStep);
            }
            return sink.write(reinterpret_cast<const char*>(bytes->data() + offset), count);
        });
}

}  // namespace sim

#include "services/ServerProbe.h"

#include <curl/curl.h>

#include "services/HttpTransfer.h"

namespace services {
namespace {

using Stage = ServerProbeResult::Stage;

std::chrono::milliseconds timeOf(CURL* curl, CURLINFO info) {
    curl_off_t micros = 0;
    curl_easy_getinfo(curl, info, &micros);
    return std::chrono::milliseconds(micros / 1000);
}

Stage stageOf(CURLcode code) {
    switch (code) {
        case CURLE_OK:
            return Stage::Reached;
        case CURLE_COULDNT_RESOLVE_HOST:
            return Stage::Resolve;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
            return Stage::Tls;
        default:
            return Stage::Connect;
    }
}

// The host part of an address: "https://host:443/x" → "host".
std::string hostOf(const std::string& url) {
    const std::size_t start = url.find("://");
    if (start == std::string::npos) {
        return {};
    }
    const std::size_t from = start + 3;
    const std::size_t end = url.find_first_of("/?#", from);
    std::string authority = url.substr(from, end == std::string::npos ? end : end - from);
    if (!authority.empty() && authority.front() == '[') {
        return authority.substr(0, authority.find(']') + 1);
    }
    return authority.substr(0, authority.find(':'));
}

}  // namespace

ServerProbeResult probeServer(const std::string& url, std::chrono::milliseconds timeout) {
    ServerProbeResult result;
    result.host = hostOf(url);
    result.tls = url.rfind("https://", 0) == 0;
    if (!HttpTransfer::isAllowedUrl(url)) {
        return result;
    }
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        result.stage = Stage::Connect;
        result.error = "libcurl could not start";
        return result;
    }
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CONNECT_ONLY, 1L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(timeout.count()));
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    const CURLcode code = curl_easy_perform(curl);
    result.stage = stageOf(code);
    if (code != CURLE_OK) {
        result.error = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
    }
    char* address = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_PRIMARY_IP, &address) == CURLE_OK && address != nullptr) {
        result.address = address;
    }
    result.resolveTime = timeOf(curl, CURLINFO_NAMELOOKUP_TIME_T);
    result.totalTime = timeOf(curl, CURLINFO_TOTAL_TIME_T);
    curl_easy_cleanup(curl);
    return result;
}

}  // namespace services

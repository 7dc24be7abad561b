#include "services/HttpTransfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace services {
namespace {

constexpr long kConnectTimeoutMs = 10000;
constexpr long kMaxRedirects = 5;
constexpr int kPollMs = 1000;

// The least speed, written by tests before their transfers and read by every transfer.
std::atomic<long> g_stallBytesPerSecond{HttpTransfer::StallLimit{}.bytesPerSecond};
std::atomic<long> g_stallSeconds{HttpTransfer::StallLimit{}.seconds};

void initialiseCurlOnce() {
    // Thread-safe static: the first transfer of the process initialises libcurl.
    static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    (void)initialised;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool isLoopbackHost(const std::string& host) {
    if (host == "localhost" || host == "[::1]" || host == "::1") {
        return true;
    }
    // 127.0.0.0/8 written as a dotted quad.
    if (host.rfind("127.", 0) != 0) {
        return false;
    }
    int dots = 0;
    for (char c : host) {
        if (c == '.') {
            ++dots;
        } else if (c < '0' || c > '9') {
            return false;
        }
    }
    return dots == 3;
}

struct UrlParts {
    std::string scheme;
    std::string host;
};

bool splitUrl(const std::string& url, UrlParts& parts) {
    CURLU* handle = curl_url();
    if (handle == nullptr) {
        return false;
    }
    bool ok = curl_url_set(handle, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK;
    char* scheme = nullptr;
    char* host = nullptr;
    ok = ok && curl_url_get(handle, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
         curl_url_get(handle, CURLUPART_HOST, &host, 0) == CURLUE_OK;
    if (ok) {
        parts.scheme = lowerCase(scheme);
        parts.host = lowerCase(host);
    }
    curl_free(scheme);
    curl_free(host);
    curl_url_cleanup(handle);
    return ok;
}

}  // namespace

// The multi handle lives as long as the object, so cancel() can always wake it.
struct HttpTransfer::Handles {
    CURLM* multi = nullptr;
};

namespace {

struct Transfer {
    const HttpTransfer::BodySink* sink;
    const std::atomic<bool>* cancelled;
    CURL* easy;
    bool stoppedBySink = false;
};

size_t receiveBody(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const size_t length = size * count;
    if (transfer->cancelled->load()) {
        return 0;  // CURLE_WRITE_ERROR
    }
    curl_off_t total = -1;
    curl_easy_getinfo(transfer->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &total);
    if (*transfer->sink && !(*transfer->sink)(std::string_view(data, length), total)) {
        transfer->stoppedBySink = true;
        return 0;
    }
    return length;
}

int checkCancel(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(user)->cancelled->load() ? 1 : 0;
}

void applyPolicy(CURL* easy, const std::string& url, const HttpTransfer::Options& options,
                 Transfer& transfer, char* errorText) {
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, g_stallBytesPerSecond.load());
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, g_stallSeconds.load());
    if (HttpTransfer::isLoopbackUrl(url)) {
        // Plain http to this machine must stay on it: no proxy from the environment carries it.
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
    }
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "localhost,127.0.0.0/8,::1");
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, "AuralisManager");
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    if (options.timeoutMs > 0) {
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, options.timeoutMs);
    }
    if (options.method == HttpTransfer::Method::Head) {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    }
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &receiveBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &checkCancel);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);
}

}  // namespace

HttpTransfer::HttpTransfer() : m_handles(std::make_unique<Handles>()) {
    initialiseCurlOnce();
    m_handles->multi = curl_multi_init();
}

HttpTransfer::~HttpTransfer() {
    if (m_handles->multi != nullptr) {
        curl_multi_cleanup(m_handles->multi);
    }
}

void HttpTransfer::cancel() {
    m_cancelled.store(true);
    if (m_handles->multi != nullptr) {
        curl_multi_wakeup(m_handles->multi);
    }
}

HttpTransfer::Result HttpTransfer::perform(const std::string& url, const Options& options,
                                           const BodySink& sink) {
    Result result;
    if (!isAllowedUrl(url)) {
        result.refused = true;
        result.curlCode = CURLE_UNSUPPORTED_PROTOCOL;
        result.message = "address refused: only https, or http to this machine";
        return result;
    }
    CURL* easy = curl_easy_init();
    if (easy == nullptr || m_handles->multi == nullptr) {
        if (easy != nullptr) {
            curl_easy_cleanup(easy);
        }
        result.curlCode = CURLE_OUT_OF_MEMORY;
        return result;
    }
    char errorText[CURL_ERROR_SIZE] = {};
    Transfer transfer{&sink, &m_cancelled, easy};
    applyPolicy(easy, url, options, transfer, errorText);

    CURLM* multi = m_handles->multi;
    curl_multi_add_handle(multi, easy);
    CURLcode code = CURLE_OK;
    bool finished = false;
    while (!finished && !m_cancelled.load()) {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) {
            code = CURLE_FAILED_INIT;
            break;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy) {
                code = message->data.result;
                finished = true;
            }
        }
        if (!finished && running > 0) {
            curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
        } else if (!finished) {
            // Nothing running and no result: never report that as a success.
            code = CURLE_FAILED_INIT;
            finished = true;
        }
    }
    if (!finished) {
        code = CURLE_ABORTED_BY_CALLBACK;
    }
    result.curlCode = code;
    result.cancelled = m_cancelled.load() || transfer.stoppedBySink;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &result.httpStatus);
    // A request that went out means a connection was made.
    long requestBytes = 0;
    curl_easy_getinfo(easy, CURLINFO_REQUEST_SIZE, &requestBytes);
    result.connected = requestBytes > 0 || result.httpStatus > 0;
    curl_off_t length = -1;
    curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    result.length = length;
    result.message = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
    curl_multi_remove_handle(multi, easy);
    curl_easy_cleanup(easy);
    return result;
}

base::Error HttpTransfer::describe(const Result& result) {
    std::string words;
    switch (classify(result)) {
        case Failure::None:
            return {};
        case Failure::Cancelled:
            words = "the transfer was stopped";
            break;
        case Failure::BadAddress:
            words = "the address is not followed (only https, or plain http to this machine)";
            break;
        case Failure::Network:
            words = "no connection to the server could be made";
            break;
        case Failure::Interrupted:
            words = "the server's answer broke off, stalled or crawled";
            break;
        case Failure::Tls:
            words = "the secure connection failed";
            break;
        case Failure::HttpStatus:
            words = "the server answered HTTP " + std::to_string(result.httpStatus);
            break;
        case Failure::Other:
            words = "the transfer failed";
            break;
    }
    if (!result.message.empty() && classify(result) != Failure::HttpStatus) {
        words += " (" + result.message + ")";
    }
    return base::Error(std::move(words), result.curlCode);
}

HttpTransfer::Failure HttpTransfer::classify(const Result& result) {
    if (result.cancelled) {
        return Failure::Cancelled;
    }
    if (result.refused) {
        return Failure::BadAddress;
    }
    switch (static_cast<CURLcode>(result.curlCode)) {
        case CURLE_OK:
            if (result.httpStatus >= 400) {
                return Failure::HttpStatus;
            }
            // A redirect that was not followed, or no status at all, is no answer either.
            return result.httpStatus >= 200 && result.httpStatus < 300 ? Failure::None
                                                                       : Failure::Other;
        case CURLE_HTTP_RETURNED_ERROR:
            return result.httpStatus >= 400 ? Failure::HttpStatus : Failure::Other;
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
        case CURLE_TOO_MANY_REDIRECTS:
            return Failure::BadAddress;
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_QUIC_CONNECT_ERROR:
            return Failure::Network;
        case CURLE_PARTIAL_FILE:
            return Failure::Interrupted;
        case CURLE_HTTP2:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_HTTP2_STREAM:
        case CURLE_HTTP3:
            // A connection that was made and then failed is the server's answer breaking off.
            return result.connected ? Failure::Interrupted : Failure::Network;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
            return Failure::Tls;
        case CURLE_ABORTED_BY_CALLBACK:
            return Failure::Cancelled;
        default:
            return Failure::Other;
    }
}

bool HttpTransfer::isLoopbackUrl(const std::string& url) {
    UrlParts parts;
    return splitUrl(url, parts) && isLoopbackHost(parts.host);
}

void HttpTransfer::setStallLimit(StallLimit limit) {
    g_stallBytesPerSecond.store(limit.bytesPerSecond);
    g_stallSeconds.store(limit.seconds);
}

HttpTransfer::StallLimit HttpTransfer::stallLimit() {
    return StallLimit{g_stallBytesPerSecond.load(), g_stallSeconds.load()};
}

bool HttpTransfer::isAllowedUrl(const std::string& url) {
    UrlParts parts;
    if (!splitUrl(url, parts)) {
        return false;
    }
    if (parts.scheme == "https") {
        return true;
    }
    return parts.scheme == "http" && isLoopbackHost(parts.host);
}

std::string HttpTransfer::escape(std::string_view text) {
    initialiseCurlOnce();
    char* escaped = curl_easy_escape(nullptr, text.data(), static_cast<int>(text.size()));
    if (escaped == nullptr) {
        return {};
    }
    std::string result(escaped);
    curl_free(escaped);
    return result;
}

}  // namespace services

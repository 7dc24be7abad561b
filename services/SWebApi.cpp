#include "services/SWebApi.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string_view>
#include <system_error>
#include <utility>

#include "base/Log.h"
#include "platform/Thread.h"
#include "services/HttpTransfer.h"
#include "services/SSetting.h"
#include "services/WebApiAnswer.h"

using services::HttpTransfer;

namespace {

constexpr std::size_t kMaxAnswerBytes = 1024 * 1024;
constexpr long kAnswerTimeoutMs = 60000;
constexpr long kSizeTimeoutMs = 30000;
// Without a known size, progress is reported every this many bytes.
constexpr std::uint64_t kUnknownSizeStep = 64 * 1024;

int clampToInt(std::uint64_t value) {
    return static_cast<int>(std::min<std::uint64_t>(value, std::numeric_limits<int>::max()));
}

std::uint32_t clampToWord(std::int64_t value) {
    if (value <= 0 || value > std::numeric_limits<std::uint32_t>::max()) {
        return 0;
    }
    return static_cast<std::uint32_t>(value);
}

// errno of a failed write: 0 when all was written.
int writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

// A write that failed because there is no room, rather than for another reason.
bool isNoRoom(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// The error code for a failed transfer.
int errorCodeFor(const HttpTransfer::Result& result) {
    switch (HttpTransfer::classify(result)) {
        case HttpTransfer::Failure::BadAddress:
            return WEBAPI_ERROR_BAD_ADDRESS;
        case HttpTransfer::Failure::Network:
            return WEBAPI_ERROR_NETWORK;
        case HttpTransfer::Failure::Interrupted:
            return WEBAPI_ERROR_INTERRUPTED;
        case HttpTransfer::Failure::Tls:
            return WEBAPI_ERROR_TLS;
        case HttpTransfer::Failure::HttpStatus:
            return static_cast<int>(result.httpStatus);
        case HttpTransfer::Failure::None:
        case HttpTransfer::Failure::Cancelled:
        case HttpTransfer::Failure::Other:
            break;
    }
    return WEBAPI_ERROR_FAILED;
}

std::string withoutTrailingSlashes(std::string text) {
    while (!text.empty() && text.back() == '/') {
        text.pop_back();
    }
    return text;
}

}  // namespace

// What a worker thread needs; shared with the SWebApi object so that a worker never touches
// the object itself (which may be gone once the worker's last callback has returned).
struct SWebApi::Job {
    Job(Callback callback, bool reportProgress)
        : callback(std::move(callback)), reportProgress(reportProgress) {}

    // Calls back unless the request was cancelled. Returns the callback's result (false when
    // no callback was made).
    bool deliver(WEBAPI_DATA& data) {
        if (transfer.isCancelled() || !callback) {
            return false;
        }
        return callback(&data);
    }

    // cause: what failed in plain words; its code is the WEBAPI_DATA error.
    void deliverError(const base::Error& cause, std::uint32_t detail) {
        WEBAPI_DATA data{WRT_ERROR, cause.code(), detail, nullptr, nullptr, &cause};
        deliver(data);
    }

    // A failed transfer: its class as the error, libcurl's code (or the HTTP status) as detail.
    void deliverFailure(const HttpTransfer::Result& result) {
        const int code = errorCodeFor(result);
        const std::uint32_t detail =
            HttpTransfer::classify(result) == HttpTransfer::Failure::HttpStatus
                ? static_cast<std::uint32_t>(result.httpStatus)
                : static_cast<std::uint32_t>(result.curlCode);
        deliverError(base::Error(HttpTransfer::describe(result).message(), code), detail);
    }

    const Callback callback;
    const bool reportProgress;
    HttpTransfer transfer;
    std::atomic<bool> done{false};
};

namespace {

using Job = SWebApi::Job;

void logFailure(const char* method, const std::string& url, const HttpTransfer::Result& result) {
    _Log(LOG_WARNING, method, __LINE__, "request failed: %s curl[%d] http[%ld] %s", url.c_str(),
         result.curlCode, result.httpStatus, result.message.c_str());
}

// GET an answer of the update server and hand it over parsed.
template <typename Answer>
void runAnswer(Job& job, const std::string& url,
               base::Error (*parse)(const std::string&, Answer&)) {
    if (url.empty()) {
        _Log(LOG_WARNING, "SWebApi::runAnswer", __LINE__, "no update server configured");
        job.deliverError(base::Error("no update server is set", WEBAPI_ERROR_NO_SERVER), 0);
        return;
    }
    std::string body;
    bool tooLong = false;
    const auto collect = [&](std::string_view piece, std::int64_t) {
        if (body.size() + piece.size() > kMaxAnswerBytes) {
            tooLong = true;
            return false;
        }
        body.append(piece);
        return true;
    };
    HttpTransfer::Options options;
    options.timeoutMs = kAnswerTimeoutMs;
    const HttpTransfer::Result result = job.transfer.perform(url, options, collect);
    if (job.transfer.isCancelled()) {
        return;
    }
    if (tooLong) {
        _Log(LOG_WARNING, "SWebApi::runAnswer", __LINE__, "answer too long: %s", url.c_str());
        job.deliverError(base::Error("the server's answer is longer than " +
                                         std::to_string(kMaxAnswerBytes / 1024) + " KiB",
                                     WEBAPI_ERROR_BAD_ANSWER),
                         0);
        return;
    }
    if (HttpTransfer::classify(result) != HttpTransfer::Failure::None) {
        logFailure("SWebApi::runAnswer", url, result);
        job.deliverFailure(result);
        return;
    }
    Answer answer;
    if (const base::Error malformed = parse(body, answer)) {
        _Log(LOG_WARNING, "SWebApi::runAnswer", __LINE__, "malformed answer from %s", url.c_str());
        job.deliverError(base::Error(malformed.message(), WEBAPI_ERROR_BAD_ANSWER)
                             .within("the server's answer cannot be used"),
                         static_cast<std::uint32_t>(result.httpStatus));
        return;
    }
    WEBAPI_DATA data{WRT_ANSWER, WEBAPI_ERROR_NONE, 0, &answer, nullptr};
    job.deliver(data);
}

// Progress of one download, reported at every percent (or every kUnknownSizeStep bytes when
// the size is unknown).
class DownloadProgress {
public:
    explicit DownloadProgress(Job& job) : m_job(job) {}

    // How much of the next `available` bytes to take before the next report is due, so that a
    // piece spanning several percent is reported at each of them.
    std::size_t bytesBeforeNextReport(std::size_t available, std::int64_t total) const {
        if (!m_job.reportProgress || total <= 0 || m_lastPercent >= 100) {
            return available;
        }
        const std::uint64_t size = static_cast<std::uint64_t>(total);
        const std::uint64_t next = static_cast<std::uint64_t>(m_lastPercent + 1);
        const std::uint64_t boundary = (next * size + 99) / 100;  // first byte count at `next`%
        const std::uint64_t needed = boundary > m_received ? boundary - m_received : 1;
        return static_cast<std::size_t>(
            std::min<std::uint64_t>(std::max<std::uint64_t>(needed, 1), available));
    }

    // False when the callback asked to stop.
    bool received(std::size_t bytes, std::int64_t total) {
        m_received += bytes;
        m_total = total;
        if (!m_job.reportProgress) {
            return true;
        }
        const int percent = percentNow();
        const bool due = percent != m_lastPercent ||
                         (total <= 0 && m_received - m_lastReported >= kUnknownSizeStep);
        if (!due) {
            return true;
        }
        m_lastPercent = percent;
        m_lastReported = m_received;
        WEBAPI_PROGRESS progress = record();
        WEBAPI_DATA data{WRT_PROGRESS, WEBAPI_ERROR_NONE, 0, nullptr, &progress};
        return m_job.deliver(data);
    }

    // False when the request was cancelled before the completion could be reported.
    bool completed() {
        m_total = static_cast<std::int64_t>(m_received);
        WEBAPI_PROGRESS progress = record();
        progress.percent = 100;
        WEBAPI_DATA data{WRT_DOWNLOAD_COMPLETED, WEBAPI_ERROR_NONE, 0, nullptr, &progress};
        // Either the callback takes the file or the caller removes it; a cancel after this test
        // still finds the callback run.
        if (m_job.transfer.isCancelled() || !m_job.callback) {
            return false;
        }
        m_job.callback(&data);
        return true;
    }

private:
    int percentNow() const {
        if (m_total <= 0) {
            return 0;
        }
        const std::uint64_t total = static_cast<std::uint64_t>(m_total);
        return static_cast<int>(std::min<std::uint64_t>(100, m_received * 100 / total));
    }

    WEBAPI_PROGRESS record() const {
        return WEBAPI_PROGRESS{clampToWord(m_total), clampToInt(m_received), percentNow()};
    }

    Job& m_job;
    std::uint64_t m_received = 0;
    std::int64_t m_total = -1;
    int m_lastPercent = -1;
    std::uint64_t m_lastReported = 0;
};

// Flushes the folder's entry for a file just renamed into it, so the new name survives a crash.
void syncFolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void runDownload(Job& job, const std::string& url, const std::string& path,
                 std::uint64_t maxBytes) {
    if (!HttpTransfer::isAllowedUrl(url)) {
        _Log(LOG_WARNING, "SWebApi::GetDownLoad", __LINE__, "address refused: %s", url.c_str());
        job.deliverError(base::Error("the address is not followed (only https, or plain http to "
                                     "this machine)",
                                     WEBAPI_ERROR_BAD_ADDRESS),
                         0);
        return;
    }
    // A fresh name beside the target: two downloads to one target never share a partial file.
    std::string partial = path + ".XXXXXX";
    const int fd = ::mkostemp(partial.data(), O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        _Log(LOG_WARNING, "SWebApi::GetDownLoad", __LINE__, "cannot create %s (%d)",
             partial.c_str(), error);
        job.deliverError(base::Error(std::strerror(error), WEBAPI_ERROR_FILE)
                             .within("creating the download file"),
                         static_cast<std::uint32_t>(error));
        return;
    }
    ::fchmod(fd, 0600);
    DownloadProgress progress(job);
    int writeError = 0;
    bool stoppedByCaller = false;
    bool tooLarge = false;
    std::uint64_t stored = 0;
    const auto store = [&](std::string_view piece, std::int64_t total) {
        // An announced size above the limit is refused before anything is written; otherwise
        // no more than the server announced, and never more than the limit.
        const std::uint64_t limit =
            total > 0 ? std::min<std::uint64_t>(static_cast<std::uint64_t>(total), maxBytes)
                      : maxBytes;
        if ((total > 0 && static_cast<std::uint64_t>(total) > maxBytes) ||
            stored + piece.size() > limit) {
            tooLarge = true;
            return false;
        }
        stored += piece.size();
        while (!piece.empty()) {
            const std::size_t take = progress.bytesBeforeNextReport(piece.size(), total);
            writeError = writeAll(fd, piece.substr(0, take));
            if (writeError != 0) {
                return false;
            }
            piece.remove_prefix(take);
            if (!progress.received(take, total)) {
                stoppedByCaller = true;
                return false;
            }
        }
        return true;
    };
    const HttpTransfer::Result result = job.transfer.perform(url, {}, store);
    const bool transferred = HttpTransfer::classify(result) == HttpTransfer::Failure::None;
    bool saved = transferred && ::fsync(fd) == 0;
    if (transferred && !saved) {
        writeError = errno;
    }
    saved = ::close(fd) == 0 && saved;
    saved = saved && std::rename(partial.c_str(), path.c_str()) == 0;
    if (saved) {
        syncFolderOf(path);
    } else {
        ::unlink(partial.c_str());
    }
    if (tooLarge) {
        _Log(LOG_WARNING, "SWebApi::GetDownLoad", __LINE__,
             "download refused: more than %llu bytes: %s",
             static_cast<unsigned long long>(maxBytes), url.c_str());
        job.deliverError(base::Error("the download is longer than announced or than " +
                                         std::to_string(maxBytes) + " bytes",
                                     WEBAPI_ERROR_INTERRUPTED),
                         0);
        return;
    }
    if (job.transfer.isCancelled() || stoppedByCaller) {
        _Log(LOG_INFO, "SWebApi::GetDownLoad", __LINE__, "download stopped: %s", url.c_str());
        return;
    }
    if (saved) {
        if (!progress.completed()) {
            // Cancelled in the last moment: nobody takes the file, so it must not stay.
            ::unlink(path.c_str());
        }
        return;
    }
    if (writeError != 0 || transferred) {
        _Log(LOG_WARNING, "SWebApi::GetDownLoad", __LINE__, "cannot write %s (%d)", path.c_str(),
             writeError);
        const int code = isNoRoom(writeError) ? WEBAPI_ERROR_DISK_FULL : WEBAPI_ERROR_FILE;
        const std::string words =
            writeError != 0 ? std::strerror(writeError) : "the finished file cannot be kept";
        job.deliverError(base::Error(words, code).within("writing the package"),
                         static_cast<std::uint32_t>(writeError));
        return;
    }
    logFailure("SWebApi::GetDownLoad", url, result);
    job.deliverFailure(result);
}

}  // namespace

SWebApi::SWebApi(Callback callback, bool reportProgress)
    : m_callback(std::move(callback)), m_reportProgress(reportProgress) {}

SWebApi::~SWebApi() {
    std::vector<Worker> workers;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        workers.swap(m_workers);
    }
    for (Worker& worker : workers) {
        worker.job->transfer.cancel();
    }
    for (Worker& worker : workers) {
        if (worker.thread.get_id() == std::this_thread::get_id()) {
            // Destroyed from inside our own callback: that thread only touches its Job from here
            // on, and it ends by itself.
            worker.thread.detach();
        } else {
            worker.thread.join();
        }
    }
}

bool SWebApi::GetFirmwareVersion(const std::string& model) {
    const std::string base = GetBaseUrl();
    const std::string url = base.empty()
                                ? std::string()
                                : base + "/firmware/latest?model=" + HttpTransfer::escape(model);
    _Log(LOG_INFO, "SWebApi::GetFirmwareVersion", __LINE__, "model[%s]", model.c_str());
    return start([url](Job& job) { runAnswer(job, url, &WebApiAnswer::ParseFirmwareVersion); });
}

bool SWebApi::GetTesselVersion(const std::string& product, bool asynchronous,
                               const std::string& currentVersion) {
    const std::string base = GetBaseUrl();
    std::string url;
    if (!base.empty()) {
        url = base + "/app/latest";
        char separator = '?';
        if (!product.empty()) {
            url += separator + std::string("product=") + HttpTransfer::escape(product);
            separator = '&';
        }
        if (!currentVersion.empty()) {
            url += separator + std::string("current=") + HttpTransfer::escape(currentVersion);
        }
    }
    _Log(LOG_INFO, "SWebApi::GetTesselVersion", __LINE__, "url[%s]", url.c_str());
    const auto body = [url](Job& job) { runAnswer(job, url, &WebApiAnswer::ParseTesselVersion); };
    if (asynchronous) {
        return start(body);
    }
    Job job(m_callback, m_reportProgress);
    body(job);
    return true;
}

std::uint32_t SWebApi::GetDownloadFileSize(const std::string& url) {
    HttpTransfer transfer;
    HttpTransfer::Options options;
    options.method = HttpTransfer::Method::Head;
    options.timeoutMs = kSizeTimeoutMs;
    const HttpTransfer::Result result = transfer.perform(url, options, {});
    if (HttpTransfer::classify(result) != HttpTransfer::Failure::None) {
        logFailure("SWebApi::GetDownloadFileSize", url, result);
        return 0;
    }
    return clampToWord(result.length);
}

bool SWebApi::GetDownLoad(const std::string& url, const std::string& path) {
    _Log(LOG_INFO, "SWebApi::GetDownLoad", __LINE__, "url[%s] path[%s]", url.c_str(), path.c_str());
    const std::uint64_t maxBytes = m_maxDownloadBytes;
    return start([url, path, maxBytes](Job& job) { runDownload(job, url, path, maxBytes); });
}

std::string SWebApi::GetBaseUrl() {
    const char* fromEnvironment = std::getenv("AURALIS_UPDATE_URL");
    if (fromEnvironment != nullptr && fromEnvironment[0] != '\0') {
        return withoutTrailingSlashes(fromEnvironment);
    }
    if (SettingChild* update = AfxGetSetting()->GetSettingChild("Update")) {
        return withoutTrailingSlashes(update->GetValue("ServerUrl"));
    }
    return {};
}

bool SWebApi::start(std::function<void(Job&)> body) {
    auto job = std::make_shared<Job>(m_callback, m_reportProgress);
    std::lock_guard lock(m_mutex);
    reapFinished();
    if (m_stopping) {
        return false;
    }
    try {
        std::thread thread([job, body = std::move(body)] {
            platform::setCurrentThreadName("webapi");
            body(*job);
            job->done.store(true);
        });
        m_workers.push_back(Worker{std::move(thread), std::move(job)});
    } catch (const std::system_error& error) {
        _Log(LOG_WARNING, "SWebApi::start", __LINE__, "cannot start a worker: %s", error.what());
        return false;
    }
    return true;
}

void SWebApi::Cancel() {
    std::lock_guard lock(m_mutex);
    for (Worker& worker : m_workers) {
        worker.job->transfer.cancel();
    }
}

void SWebApi::reapFinished() {
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (it->job->done.load() && it->thread.get_id() != std::this_thread::get_id()) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

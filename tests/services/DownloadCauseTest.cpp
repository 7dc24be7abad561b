// What a failed request reports, against a local server that misbehaves in each way a real one
// can: every cause must come out as its own error, and no failure may leave a file behind.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "services/HttpTransfer.h"
#include "services/SWebApi.h"
#include "tests/common/TestSandbox.h"
#include "tests/services/LocalHttpServer.h"

namespace {

namespace fs = std::filesystem;
using services::HttpTransfer;
using testing_support::LocalHttpServer;
using testing_support::ScopedEnv;

constexpr auto kWait = std::chrono::seconds(30);

// The last callback of one request that ended (type 0 or 3).
class EndRecorder {
public:
    SWebApi::Callback callback() {
        return [this](WEBAPI_DATA* data) {
            if (data->type != WRT_PROGRESS) {
                std::lock_guard lock(m_mutex);
                m_type = data->type;
                m_error = data->error;
                m_ended = true;
                m_changed.notify_all();
            }
            return true;
        };
    }
    // The error of the end (-1 when none came in time; 0 for a completed download).
    int waitForError() {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, kWait, [this] { return m_ended; })) {
            return -1;
        }
        return m_type == WRT_ERROR ? m_error : 0;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_ended = false;
    int m_type = -1;
    int m_error = -1;
};

class DownloadCauseTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = testing_support::makeTempFolder("webcause");
        // Two seconds below 1 KiB/s count as a stall here, instead of thirty.
        m_oldLimit = HttpTransfer::stallLimit();
        HttpTransfer::setStallLimit({1024, 2});
        serveMisbehaviours();
        m_http.start();
    }
    void TearDown() override {
        m_stop.store(true);
        m_http.stop();
        HttpTransfer::setStallLimit(m_oldLimit);
    }

    // Sleeps in short steps so that the server can stop.
    void pause(std::chrono::milliseconds total) {
        const auto end = std::chrono::steady_clock::now() + total;
        while (!m_stop.load() && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    void serveMisbehaviours() {
        auto& server = m_http.server();
        const auto body = std::make_shared<const std::string>(20000, 'p');
        server.Get("/whole.bin", [body](const httplib::Request&, httplib::Response& response) {
            response.set_content(*body, "application/octet-stream");
        });
        // Announces the length, sends half, closes.
        server.Get("/cut.bin", [body](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(
                body->size(), "application/octet-stream",
                [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                    if (offset >= body->size() / 2) {
                        return false;
                    }
                    sink.write(body->data(), body->size() / 2);
                    return true;
                });
        });
        // Starts the body and then sends nothing more.
        server.Get("/stall.bin",
                   [this, body](const httplib::Request&, httplib::Response& response) {
                       response.set_content_provider(
                           body->size(), "application/octet-stream",
                           [this, body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                               if (offset == 0) {
                                   sink.write(body->data(), 100);
                                   return true;
                               }
                               pause(std::chrono::seconds(8));
                               return false;
                           });
                   });
        // Answers nothing at all for a long while.
        server.Get("/silent.bin", [this](const httplib::Request&, httplib::Response& response) {
            pause(std::chrono::seconds(8));
            response.set_content("late", "text/plain");
        });
        // 101 bytes a second: always moving, never arriving.
        server.Get("/crawl.bin",
                   [this, body](const httplib::Request&, httplib::Response& response) {
                       response.set_content_provider(
                           body->size(), "application/octet-stream",
                           [this, body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                               pause(std::chrono::milliseconds(1000));
                               if (m_stop.load()) {
                                   return false;
                               }
                               sink.write(body->data() + offset,
                                          std::min<std::size_t>(101, body->size() - offset));
                               return true;
                           });
                   });
        server.Get("/error.bin", [](const httplib::Request&, httplib::Response& response) {
            response.status = 500;
            response.set_content("broken", "text/plain");
        });
        server.Get("/away.bin", [this](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("http://updates.example/whole.bin");
        });
        server.Get("/huge.bin", [](const httplib::Request&, httplib::Response& response) {
            // Announces far more than is allowed; nothing of it may be stored.
            response.set_content_provider(600ull * 1000 * 1000, "application/octet-stream",
                                          [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                              static const std::string piece(65536, 'h');
                                              return sink.write(piece.data(), piece.size());
                                          });
        });
        server.Get("/api/firmware/latest",
                   [this](const httplib::Request&, httplib::Response& response) {
                       pause(std::chrono::seconds(8));
                       response.set_content("{}", "application/json");
                   });
    }

    int download(const std::string& url) {
        EndRecorder recorder;
        SWebApi api(recorder.callback(), true);
        api.SetMaxDownloadBytes(1024 * 1024);
        const fs::path path = m_folder / "package.bin";
        api.GetDownLoad(url, path.string());
        const int error = recorder.waitForError();
        if (error != 0) {
            EXPECT_TRUE(fs::is_empty(m_folder)) << url << ": a failure leaves no file";
        }
        fs::remove(path);
        return error;
    }

    LocalHttpServer m_http;
    fs::path m_folder;
    std::atomic<bool> m_stop{false};
    HttpTransfer::StallLimit m_oldLimit;
};

TEST_F(DownloadCauseTest, EachFailureNamesItsOwnCause) {
    const std::string closed = "http://127.0.0.1:" + std::to_string(LocalHttpServer::closedPort());
    const struct {
        const char* what;
        std::string url;
        int error;
    } cases[] = {
        {"complete", m_http.url("/whole.bin"), 0},
        {"nobody listens", closed + "/whole.bin", WEBAPI_ERROR_NETWORK},
        {"body cut short", m_http.url("/cut.bin"), WEBAPI_ERROR_INTERRUPTED},
        {"body stalls", m_http.url("/stall.bin"), WEBAPI_ERROR_INTERRUPTED},
        {"no answer at all", m_http.url("/silent.bin"), WEBAPI_ERROR_INTERRUPTED},
        {"101 bytes a second", m_http.url("/crawl.bin"), WEBAPI_ERROR_INTERRUPTED},
        {"announced beyond the limit", m_http.url("/huge.bin"), WEBAPI_ERROR_INTERRUPTED},
        {"not found", m_http.url("/missing.bin"), 404},
        {"server error", m_http.url("/error.bin"), 500},
        {"redirect off the machine", m_http.url("/away.bin"), WEBAPI_ERROR_BAD_ADDRESS},
        {"file address", "file:///etc/hostname", WEBAPI_ERROR_BAD_ADDRESS},
        {"plain http elsewhere", "http://updates.example/whole.bin", WEBAPI_ERROR_BAD_ADDRESS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(download(c.url), c.error);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(7))
            << "a stalled or crawling server is given up within the stall limit";
    }
}

TEST_F(DownloadCauseTest, NoRoomForTheDownloadIsSaidSo) {
#if defined(__SANITIZE_THREAD__)
    // The forked child starts the download's thread, which ThreadSanitizer refuses after a fork
    // of a process with threads (the test server's). Its classification has no threads of its
    // own to check; the other builds run it.
    GTEST_SKIP() << "no threads may start in a forked child under ThreadSanitizer";
#endif
    // A child process whose files may not grow past 4 KiB stands in for a full disk.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        EndRecorder recorder;
        SWebApi api(recorder.callback(), false);
        const fs::path path = m_folder / "full.bin";
        api.GetDownLoad(m_http.url("/whole.bin"), path.string());
        const int error = recorder.waitForError();
        ::_exit(error == WEBAPI_ERROR_DISK_FULL && fs::is_empty(m_folder) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the error is WEBAPI_ERROR_DISK_FULL and no file stays";
}

TEST_F(DownloadCauseTest, AnAnswerWithoutServerOrThatStallsIsNotANetworkError) {
    {
        const ScopedEnv none("AURALIS_UPDATE_URL", "");
        EndRecorder recorder;
        SWebApi api(recorder.callback(), false);
        api.GetFirmwareVersion("VX-R175");
        EXPECT_EQ(recorder.waitForError(), WEBAPI_ERROR_NO_SERVER);
    }
    {
        const ScopedEnv server("AURALIS_UPDATE_URL", m_http.url("/api"));
        EndRecorder recorder;
        SWebApi api(recorder.callback(), false);
        api.GetFirmwareVersion("VX-R175");
        EXPECT_EQ(recorder.waitForError(), WEBAPI_ERROR_INTERRUPTED);
    }
}

TEST_F(DownloadCauseTest, PlainHttpToThisMachineNeverGoesThroughAProxy) {
    LocalHttpServer proxy;
    std::atomic<int> proxied{0};
    proxy.server().Get(".*", [&](const httplib::Request&, httplib::Response& response) {
        proxied.fetch_add(1);
        response.status = 502;
    });
    proxy.start();
    const ScopedEnv http("http_proxy", proxy.url());
    const ScopedEnv upper("HTTP_PROXY", proxy.url());
    const ScopedEnv all("ALL_PROXY", proxy.url());
    EXPECT_EQ(download(m_http.url("/whole.bin")), 0);
    EXPECT_EQ(proxied.load(), 0);
}

}  // namespace

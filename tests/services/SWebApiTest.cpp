#include "services/SWebApi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Event.h"
#include "services/SSetting.h"
#include "services/SUtil.h"
#include "tests/common/TestSandbox.h"
#include "tests/services/LocalHttpServer.h"

namespace {

namespace fs = std::filesystem;
using testing_support::LocalHttpServer;
using testing_support::ScopedEnv;

constexpr auto kWait = std::chrono::seconds(20);

// One callback as the test saw it; the pointed-to answers are copied, as they live only during
// the callback.
struct Call {
    int type = -1;
    int error = -1;
    std::uint32_t detail = 0;
    int percent = -1;
    int curLength = -1;
    std::uint32_t totalLength = 0;
    // Type 0: the cause's words and code.
    std::string cause;
    int causeCode = 0;
    std::optional<WEBAPI_FIRMWARE_VERSION> firmware;
    std::optional<WEBAPI_TESSEL_VERSION> tessel;
};

class Recorder {
public:
    enum class Answer { None, Firmware, Tessel };

    explicit Recorder(Answer answer = Answer::None) : m_answer(answer) {}

    SWebApi::Callback callback() {
        return [this](WEBAPI_DATA* data) { return record(data); };
    }

    // Waits until a call of type 0, 1 or 3 arrived; returns every call so far.
    std::vector<Call> waitForEnd() {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, kWait, [this] { return endedLocked(); });
        return m_calls;
    }

    void waitForProgress() {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, kWait, [this] { return !m_calls.empty(); });
    }

    std::vector<Call> calls() {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

    // What the callback answers to progress reports.
    std::atomic<bool> keepGoing{true};

private:
    bool endedLocked() const {
        for (const Call& call : m_calls) {
            if (call.type != WRT_PROGRESS) {
                return true;
            }
        }
        return false;
    }

    bool record(WEBAPI_DATA* data) {
        Call call;
        call.type = data->type;
        call.error = data->error;
        call.detail = data->detail;
        if (data->cause != nullptr) {
            call.cause = data->cause->message();
            call.causeCode = data->cause->code();
        }
        if (data->progress != nullptr) {
            call.percent = data->progress->percent;
            call.curLength = data->progress->curLength;
            call.totalLength = data->progress->totalLength;
        }
        if (data->type == WRT_ANSWER && m_answer == Answer::Firmware) {
            call.firmware = *static_cast<const WEBAPI_FIRMWARE_VERSION*>(data->answer);
        }
        if (data->type == WRT_ANSWER && m_answer == Answer::Tessel) {
            call.tessel = *static_cast<const WEBAPI_TESSEL_VERSION*>(data->answer);
        }
        {
            std::lock_guard lock(m_mutex);
            m_calls.push_back(call);
        }
        m_changed.notify_all();
        return data->type != WRT_PROGRESS || keepGoing.load();
    }

    const Answer m_answer;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Call> m_calls;
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string patternBody(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        body[i] = static_cast<char>('a' + (i * 7) % 26);
    }
    return body;
}

class SWebApiTest : public ::testing::Test {
protected:
    void SetUp() override { m_folder = testing_support::makeTempFolder("webapi"); }

    // Points the update server address at the test server.
    ScopedEnv useServer() { return ScopedEnv("AURALIS_UPDATE_URL", m_http.url("/api/")); }

    fs::path target(const std::string& name) const { return m_folder / name; }

    LocalHttpServer m_http;
    fs::path m_folder;
};

TEST_F(SWebApiTest, FirmwareAnswerFillsEveryField) {
    std::string askedModel;
    m_http.server().Get("/api/firmware/latest", [&](const httplib::Request& request,
                                                    httplib::Response& response) {
        askedModel = request.get_param_value("model");
        response.set_content(
            R"({"version":"1.0.4","url":"https://updates.example/fw?id=1&file=VX.bin","flag":200,
                "notes":{"ENG":"Better sound","DEU":"Besserer Klang","ESP_LAT":"Mejor sonido",
                         "JPN":"音質向上","ignored":5},
                "extra":"x-1","notesKorean":"음질 개선"})",
            "application/json");
    });
    m_http.start();
    const ScopedEnv server = useServer();

    Recorder recorder(Recorder::Answer::Firmware);
    SWebApi api(recorder.callback(), true);
    ASSERT_TRUE(api.GetFirmwareVersion("VX-R175 Pro&x"));
    const std::vector<Call> calls = recorder.waitForEnd();

    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].type, WRT_ANSWER);
    EXPECT_EQ(calls[0].error, 0);
    ASSERT_TRUE(calls[0].firmware.has_value());
    const WEBAPI_FIRMWARE_VERSION& answer = *calls[0].firmware;
    EXPECT_EQ(answer.version, "1.0.4");
    EXPECT_EQ(answer.url, "https://updates.example/fw?id=1&file=VX.bin");
    EXPECT_EQ(answer.flag, 200);
    EXPECT_EQ(answer.notes.size(), 4u);  // the non-text note is skipped
    EXPECT_EQ(answer.notes.at("DEU"), "Besserer Klang");
    EXPECT_EQ(answer.notes.at("ESP_LAT"), "Mejor sonido");
    EXPECT_EQ(answer.notes.at("JPN"), "音質向上");
    EXPECT_EQ(answer.extra, "x-1");
    EXPECT_EQ(answer.notesKorean, "음질 개선");
    EXPECT_EQ(askedModel, "VX-R175 Pro&x");  // the model survives the query encoding
}

TEST_F(SWebApiTest, ApplicationAnswerAsynchronousAndOnTheCallingThread) {
    std::string query;
    m_http.server().Get(
        "/api/app/latest", [&](const httplib::Request& request, httplib::Response& response) {
            query = request.get_param_value("product") + "|" + request.get_param_value("current");
            response.set_content(R"({"version":"2.1.0","url":"https://u.example/Lumora_2.1.0.bin",
                                 "notice":"Faster start"})",
                                 "application/json");
        });
    m_http.start();
    const ScopedEnv server = useServer();

    Recorder asynchronous(Recorder::Answer::Tessel);
    SWebApi api(asynchronous.callback(), true);
    ASSERT_TRUE(api.GetTesselVersion("", true, ""));
    std::vector<Call> calls = asynchronous.waitForEnd();
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_TRUE(calls[0].tessel.has_value());
    EXPECT_EQ(calls[0].tessel->version, "2.1.0");
    EXPECT_EQ(calls[0].tessel->url, "https://u.example/Lumora_2.1.0.bin");
    EXPECT_EQ(calls[0].tessel->notice, "Faster start");
    EXPECT_EQ(query, "|");

    Recorder synchronous(Recorder::Answer::Tessel);
    SWebApi blocking(synchronous.callback(), true);
    ASSERT_TRUE(blocking.GetTesselVersion("manager", false, "1.0.0"));
    calls = synchronous.calls();  // no waiting: the callback came before the call returned
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].type, WRT_ANSWER);
    EXPECT_EQ(query, "manager|1.0.0");
}

TEST_F(SWebApiTest, MalformedAnswersFailWithoutCrashing) {
    const std::vector<std::string> bodies = {
        "not json at all",
        R"({"version":"1.0.4")",                                // cut short
        R"(["1.0.4","https://x"])",                             // not an object
        R"({"version":104,"url":"https://x"})",                 // wrong type
        R"({"version":"1.0.4"})",                               // no address
        R"({"version":"1.0.4","url":"https://x","flag":300})",  // flag out of range
        R"({"version":"1.0.4","url":"https://x","notes":"ENG"})",
        std::string("{\"version\":\"1.0\xff\",\"url\":\"https://x\"}"),  // not UTF-8
    };
    std::size_t next = 0;
    m_http.server().Get("/api/firmware/latest",
                        [&](const httplib::Request&, httplib::Response& response) {
                            response.set_content(bodies[next], "application/json");
                        });
    m_http.start();
    const ScopedEnv server = useServer();

    for (next = 0; next < bodies.size(); ++next) {
        SCOPED_TRACE(bodies[next]);
        Recorder recorder(Recorder::Answer::Firmware);
        SWebApi api(recorder.callback(), true);
        api.GetFirmwareVersion("VX-R175");
        const std::vector<Call> calls = recorder.waitForEnd();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].type, WRT_ERROR);
        EXPECT_EQ(calls[0].error, WEBAPI_ERROR_BAD_ANSWER);
        EXPECT_EQ(calls[0].causeCode, WEBAPI_ERROR_BAD_ANSWER);
        EXPECT_EQ(calls[0].cause.rfind("the server's answer cannot be used: ", 0), 0u);
        if (next == 5) {
            // The answer's reader names the field at fault.
            EXPECT_EQ(calls[0].cause,
                      "the server's answer cannot be used: field \"flag\": outside 0..255");
        }
    }
}

TEST_F(SWebApiTest, UnreachableServerIsNetworkErrorAndAMissingOneIsSaidSo) {
    // Nothing listens on the port.
    {
        const ScopedEnv server("AURALIS_UPDATE_URL",
                               "http://127.0.0.1:" + std::to_string(LocalHttpServer::closedPort()));
        Recorder recorder;
        SWebApi api(recorder.callback(), true);
        api.GetFirmwareVersion("VX-R175");
        const std::vector<Call> calls = recorder.waitForEnd();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].type, WRT_ERROR);
        EXPECT_EQ(calls[0].error, WEBAPI_ERROR_NETWORK);
        EXPECT_EQ(calls[0].detail, 7u);  // could not connect
        EXPECT_EQ(calls[0].cause.rfind("no connection to the server could be made (", 0), 0u)
            << calls[0].cause;
        EXPECT_EQ(calls[0].causeCode, WEBAPI_ERROR_NETWORK);
    }
    // No server configured at all.
    {
        Recorder recorder;
        SWebApi api(recorder.callback(), true);
        api.GetTesselVersion("", true, "");
        const std::vector<Call> calls = recorder.waitForEnd();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].error, WEBAPI_ERROR_NO_SERVER);
    }
}

TEST_F(SWebApiTest, BaseAddressComesFromTheSettingsWhenTheEnvironmentHasNone) {
    m_http.server().Get(
        "/from-settings/app/latest", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(R"({"version":"3.0","url":"https://x/y"})", "application/json");
        });
    m_http.start();
    const fs::path file = m_folder / "setting.xml";
    SSetting* setting = AfxGetSetting();
    ASSERT_TRUE(setting->Load(file.string(), 0));
    setting->GetSettingChild("Update")->Update("ServerUrl", m_http.url("/from-settings/"));
    EXPECT_EQ(SWebApi::GetBaseUrl(), m_http.url("/from-settings"));

    Recorder recorder(Recorder::Answer::Tessel);
    SWebApi api(recorder.callback(), true);
    api.GetTesselVersion("", true, "");
    const std::vector<Call> calls = recorder.waitForEnd();
    setting->ExitSetting();
    ASSERT_EQ(calls.size(), 1u);
    ASSERT_TRUE(calls[0].tessel.has_value());
    EXPECT_EQ(calls[0].tessel->version, "3.0");
}

TEST_F(SWebApiTest, HeadGivesTheSizeOrZero) {
    const std::string body = patternBody(1000000);
    m_http.server().Get("/file.bin", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(body, "application/octet-stream");
    });
    m_http.start();
    SWebApi api(nullptr, true);
    EXPECT_EQ(api.GetDownloadFileSize(m_http.url("/file.bin")), 1000000u);
    EXPECT_EQ(api.GetDownloadFileSize(m_http.url("/missing.bin")), 0u);
    EXPECT_EQ(api.GetDownloadFileSize(
                  "http://127.0.0.1:" + std::to_string(LocalHttpServer::closedPort()) + "/f"),
              0u);
    EXPECT_EQ(api.GetDownloadFileSize("ftp://127.0.0.1/file.bin"), 0u);
}

TEST_F(SWebApiTest, DownloadReportsEveryPercentAndEndsComplete) {
    const std::string body = patternBody(1000003);
    m_http.server().Get("/file.bin", [&](const httplib::Request&, httplib::Response& response) {
        response.set_content(body, "application/octet-stream");
    });
    m_http.start();
    const fs::path path = target("file.bin.temp");

    Recorder recorder;
    SWebApi api(recorder.callback(), true);
    ASSERT_TRUE(api.GetDownLoad(m_http.url("/file.bin"), path.string()));
    const std::vector<Call> calls = recorder.waitForEnd();

    ASSERT_GE(calls.size(), 2u);
    const Call& last = calls.back();
    EXPECT_EQ(last.type, WRT_DOWNLOAD_COMPLETED);
    EXPECT_EQ(last.error, 0);
    EXPECT_EQ(last.curLength, static_cast<int>(body.size()));
    int previous = -1;
    int previousLength = -1;
    for (std::size_t i = 0; i + 1 < calls.size(); ++i) {
        ASSERT_EQ(calls[i].type, WRT_PROGRESS);
        EXPECT_EQ(calls[i].percent, previous + 1) << "at report " << i;
        EXPECT_GT(calls[i].curLength, previousLength);
        EXPECT_EQ(calls[i].totalLength, body.size());
        previous = calls[i].percent;
        previousLength = calls[i].curLength;
    }
    EXPECT_EQ(previous, 100);
    EXPECT_EQ(readFile(path), body);
    EXPECT_FALSE(fs::exists(path.string() + ".part"));
}

TEST_F(SWebApiTest, FailedDownloadsLeaveNoFileThatLooksComplete) {
    const std::string body = patternBody(400000);
    m_http.server().Get("/broken.bin", [&](const httplib::Request&, httplib::Response& response) {
        // Announces the whole length, sends half, then drops the connection.
        response.set_content_provider(
            body.size(), "application/octet-stream",
            [&](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                if (offset >= body.size() / 2) {
                    return false;
                }
                sink.write(body.data() + offset, body.size() / 2);
                return true;
            });
    });
    m_http.server().Get("/moved.bin", [&](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(m_http.url("/file.bin"));  // redirects may only lead to https
    });
    m_http.start();
    const int closed = LocalHttpServer::closedPort();
    const struct {
        std::string url;
        int error;
    } cases[] = {
        {m_http.url("/broken.bin"), WEBAPI_ERROR_INTERRUPTED},
        {m_http.url("/missing.bin"), 404},
        {"http://127.0.0.1:" + std::to_string(closed) + "/file.bin", WEBAPI_ERROR_NETWORK},
        {"http://updates.example/file.bin", WEBAPI_ERROR_BAD_ADDRESS},  // plain http elsewhere
        {m_http.url("/moved.bin"), WEBAPI_ERROR_BAD_ADDRESS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        const fs::path path = target("failed.temp");
        Recorder recorder;
        SWebApi api(recorder.callback(), true);
        api.GetDownLoad(c.url, path.string());
        const std::vector<Call> calls = recorder.waitForEnd();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().type, WRT_ERROR);
        EXPECT_EQ(calls.back().error, c.error);
        EXPECT_FALSE(fs::exists(path));
        EXPECT_FALSE(fs::exists(path.string() + ".part"));
    }
}

TEST_F(SWebApiTest, DownloadIntoAnUnwritableFolderIsAFileError) {
    m_http.server().Get("/file.bin", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("data", "application/octet-stream");
    });
    m_http.start();
    Recorder recorder;
    SWebApi api(recorder.callback(), true);
    api.GetDownLoad(m_http.url("/file.bin"), (m_folder / "no-such-folder" / "f.temp").string());
    const std::vector<Call> calls = recorder.waitForEnd();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].error, WEBAPI_ERROR_FILE);
}

TEST_F(SWebApiTest, TwoDownloadsToOneTargetBothCompleteAndLeaveNothingElse) {
    const std::string body = patternBody(300000);
    std::mutex mutex;
    std::condition_variable bothArrived;
    int arrived = 0;
    m_http.server().Get("/file.bin", [&](const httplib::Request&, httplib::Response& response) {
        // Holds each answer until both requests are in, so the two downloads overlap.
        std::unique_lock lock(mutex);
        ++arrived;
        bothArrived.notify_all();
        bothArrived.wait_for(lock, kWait, [&] { return arrived >= 2; });
        response.set_content(body, "application/octet-stream");
    });
    m_http.start();
    const fs::path path = target("shared.temp");
    Recorder first;
    Recorder second;
    SWebApi firstApi(first.callback(), true);
    SWebApi secondApi(second.callback(), true);
    ASSERT_TRUE(firstApi.GetDownLoad(m_http.url("/file.bin"), path.string()));
    ASSERT_TRUE(secondApi.GetDownLoad(m_http.url("/file.bin"), path.string()));
    for (Recorder* recorder : {&first, &second}) {
        const std::vector<Call> calls = recorder->waitForEnd();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().type, WRT_DOWNLOAD_COMPLETED);
    }
    EXPECT_EQ(readFile(path), body);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(m_folder)) {
        ++files;
    }
    EXPECT_EQ(files, 1u) << "no partial file is left behind";
}

TEST_F(SWebApiTest, ADownloadBeyondTheLimitIsRefusedAndLeavesNothing) {
    // The server's thread may still be writing after the client gave up and the test body
    // has ended: it shares the body rather than borrowing it.
    const auto body = std::make_shared<const std::string>(patternBody(200000));
    m_http.server().Get(
        "/endless.bin", [body](const httplib::Request&, httplib::Response& response) {
            // No announced length: the limit alone bounds what is stored.
            response.set_chunked_content_provider(
                "application/octet-stream", [body](std::size_t offset, httplib::DataSink& sink) {
                    if (offset < body->size()) {
                        sink.write(body->data() + offset,
                                   std::min<std::size_t>(16384, body->size() - offset));
                    } else {
                        sink.done();
                    }
                    return true;
                });
        });
    m_http.start();
    const fs::path path = target("big.temp");
    Recorder recorder;
    SWebApi api(recorder.callback(), true);
    api.SetMaxDownloadBytes(100000);
    ASSERT_TRUE(api.GetDownLoad(m_http.url("/endless.bin"), path.string()));
    const std::vector<Call> calls = recorder.waitForEnd();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back().type, WRT_ERROR);
    EXPECT_EQ(calls.back().error, WEBAPI_ERROR_INTERRUPTED);
    EXPECT_TRUE(fs::is_empty(m_folder));
}

// A server that trickles a large body until the client goes away or the test ends.
class SlowDownloadTest : public SWebApiTest {
protected:
    void SetUp() override {
        SWebApiTest::SetUp();
        m_http.server().Get(
            "/slow.bin", [this](const httplib::Request&, httplib::Response& response) {
                response.set_content_provider(
                    100 * 1024 * 1024, "application/octet-stream",
                    [this](std::size_t, std::size_t, httplib::DataSink& sink) {
                        static const std::string piece(4096, 'z');
                        if (m_stop.load()) {
                            return false;
                        }
                        std::this_thread::sleep_for(std::chrono::milliseconds(5));
                        if (!sink.is_writable() || !sink.write(piece.data(), piece.size())) {
                            m_clientGone.signal();
                            return false;
                        }
                        return true;
                    });
            });
        m_http.start();
    }

    void TearDown() override {
        m_stop.store(true);
        m_http.stop();
    }

    std::atomic<bool> m_stop{false};
    platform::Event m_clientGone{platform::Event::Reset::Manual};
};

TEST_F(SlowDownloadTest, DestructionDuringDownloadStopsReporting) {
    const fs::path path = target("slow.temp");
    std::atomic<bool> destroyed{false};
    std::atomic<int> lateCalls{0};
    Recorder recorder;
    auto callback = recorder.callback();
    auto api = std::make_unique<SWebApi>(
        [&](WEBAPI_DATA* data) {
            if (destroyed.load()) {
                ++lateCalls;
            }
            return callback(data);
        },
        true);
    api->GetDownLoad(m_http.url("/slow.bin"), path.string());
    recorder.waitForProgress();
    ASSERT_FALSE(recorder.calls().empty());

    api.reset();  // must return promptly although the server keeps sending
    destroyed.store(true);

    EXPECT_EQ(lateCalls.load(), 0);
    for (const Call& call : recorder.calls()) {
        EXPECT_EQ(call.type, WRT_PROGRESS);  // neither an error nor a completion was reported
    }
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(fs::exists(path.string() + ".part"));
}

TEST_F(SlowDownloadTest, FalseFromAProgressCallbackStopsTheDownload) {
    const fs::path path = target("stopped.temp");
    Recorder recorder;
    recorder.keepGoing.store(false);
    auto api = std::make_unique<SWebApi>(recorder.callback(), true);
    api->GetDownLoad(m_http.url("/slow.bin"), path.string());
    recorder.waitForProgress();
    // The client hangs up by itself, without the object being destroyed.
    EXPECT_TRUE(m_clientGone.wait(std::chrono::duration_cast<std::chrono::milliseconds>(kWait)));
    api.reset();  // joins the worker, so its clean-up is done
    EXPECT_FALSE(fs::exists(path.string() + ".part"));
    EXPECT_FALSE(fs::exists(path));
    const std::vector<Call> calls = recorder.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].type, WRT_PROGRESS);
}

TEST_F(SlowDownloadTest, DestroyingFromInsideTheCallbackIsSafe) {
    std::unique_ptr<SWebApi> api;
    std::mutex mutex;
    std::condition_variable changed;
    bool deleted = false;
    api = std::make_unique<SWebApi>(
        [&](WEBAPI_DATA*) {
            std::lock_guard lock(mutex);
            api.reset();
            deleted = true;
            changed.notify_all();
            return false;
        },
        true);
    api->GetDownLoad(m_http.url("/slow.bin"), target("self.temp").string());
    std::unique_lock lock(mutex);
    EXPECT_TRUE(changed.wait_for(lock, kWait, [&] { return deleted; }));
}

}  // namespace

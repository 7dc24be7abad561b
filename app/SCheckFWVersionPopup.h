#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "base/Error.h"
#include "platform/Event.h"
#include "services/WebApiData.h"
#include "ui/SLoadingAnimationControl.h"
#include "ui/SWindowBase.h"

class SPopupDialog;
class SWebApi;
class SWindowFrame;

// The small modal popup that asks the update server for the newest firmware of the connected
// earbud model while a loading animation plays. It closes itself when the server has answered
// or failed; the caller then reads the result fields. One popup lives at a time.
//
// Threads: construct, Show and read the results on the UI thread. The server's answer arrives
// on the web library's thread (WebApiCallback), which stores the results and then closes the
// dialog through the dispatcher.
class SCheckFWVersionPopup : public SWindowBase {
public:
    static constexpr double kWidth = 360;
    static constexpr double kHeight = 160;
    // The error while no answer has come (also when Show returned without asking).
    static constexpr int kErrorNotAsked = -1;

    // parent: the window the popup is shown over; without one Show returns at once.
    // modelCode: the earbuds' model code, e.g. "VX-R175".
    SCheckFWVersionPopup(SWindowFrame* parent, std::string modelCode);
    ~SCheckFWVersionPopup() override;
    SCheckFWVersionPopup(const SCheckFWVersionPopup&) = delete;
    SCheckFWVersionPopup& operator=(const SCheckFWVersionPopup&) = delete;
    const char* GetClassName() const override { return "SCheckFWVersionPopup"; }

    // Runs the popup modally until the server has answered or failed; returns the dialog's
    // result (0 at once without a parent). Read GetError for the outcome.
    int Show();

    // The library's callback: stores the answer and closes the popup. Any thread.
    static bool WebApiCallback(WEBAPI_DATA* data);
    // The popup that is alive now, or null.
    static SCheckFWVersionPopup* GetLivePopup();
    // How long the callback lets the loading animation play before it closes the popup
    // (1000 ms; tests shorten it).
    static void SetAnswerPause(std::chrono::milliseconds pause);

    // ---- results, valid after Show has returned
    // 0 when the server answered; otherwise the library's error value or kErrorNotAsked.
    int GetError() const { return m_error.load(); }
    // The failure with its cause in plain words ("version check: …"); no error when the server
    // answered.
    base::Error GetCause() const;
    const std::string& GetNewVersion() const { return m_newVersion; }
    const std::string& GetDownloadUrl() const { return m_downloadUrl; }
    std::uint8_t GetFlag() const { return m_flag; }
    const std::string& GetExtra() const { return m_extra; }
    // The notes in the user's language ("ENG" ones for languages without their own).
    const std::string& GetReleaseNotes() const { return m_releaseNotes; }
    const std::string& GetReleaseNotesKorean() const { return m_releaseNotesKorean; }

    const std::string& GetTitleText() const { return m_titleText; }
    const std::string& GetBodyText() const { return m_bodyText; }
    const std::string& GetModelCode() const { return m_modelCode; }
    SLoadingAnimationControl& GetLoadingControl() { return m_loading; }
    platform::Event& GetDoneEvent() { return m_doneEvent; }
    // The hosting dialog while Show runs, else null. UI thread.
    SPopupDialog* GetDialog() const;

    void OnCreate() override;
    void OnFirstShow() override;
    void OnPaint(SDC& dc) override;

private:
    bool HandleData(const WEBAPI_DATA& data);
    void StoreAnswer(const WEBAPI_FIRMWARE_VERSION& answer);
    // Lets the loading animation be seen, unless the popup goes away meanwhile.
    void PauseForAnimation();
    // Closes the dialog with result 1 when it is shown, else signals the done event.
    void Finish(const char* logLine);

    std::string m_titleText;
    std::string m_bodyText;
    std::string m_modelCode;
    SWindowFrame* m_parent;
    SLoadingAnimationControl m_loading{2};
    platform::Event m_doneEvent{platform::Event::Reset::Manual};
    // Signalled by the destructor so that a pausing callback ends at once.
    platform::Event m_stopEvent{platform::Event::Reset::Manual};

    mutable std::mutex m_dialogMutex;  // guards m_dialog against the callback's thread
    SPopupDialog* m_dialog = nullptr;

    // Written by the callback before it closes the dialog, read after Show has returned.
    std::atomic<int> m_error{kErrorNotAsked};
    // The failure's words: a callback may still bring them after the user closed the popup.
    mutable std::mutex m_causeMutex;
    std::string m_cause;
    std::string m_newVersion;
    std::string m_downloadUrl;
    std::uint8_t m_flag = 0;
    std::string m_extra;
    std::string m_releaseNotes;
    std::string m_releaseNotesKorean;

    // Last member: destroyed first, so no callback runs on a half-destroyed popup.
    std::unique_ptr<SWebApi> m_webApi;
};

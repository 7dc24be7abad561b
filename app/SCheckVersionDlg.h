#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Event.h"
#include "services/WebApiData.h"
#include "ui/SLoadingAnimationControl.h"
#include "ui/SWindowBase.h"

class SPopupDialog;
class SWebApi;
class SWindowFrame;

// Asks the update server for the newest version of this program. Automatic (the start-up
// worker): the request starts at once and the calling thread waits for the answer, at most
// GetWaitLimit. Otherwise (UI thread): the dialog shows a loading animation and the text
// "Checking for updates…" in a modal popup that closes when the answer arrives.
//
// The library's callback runs on the library's thread: it writes the answer under the lock,
// signals the event and asks the popup (through the dispatcher) to close. One check exists at a
// time; the callback finds it through a process-wide pointer, cleared before the request is
// cancelled, so a late answer reaches nobody.
class SCheckVersionDlg : public SWindowBase {
public:
    static constexpr double kWidth = 360;
    static constexpr double kHeight = 160;
    static constexpr int kTitleFont = 114;
    static constexpr int kBodyFont = 112;

    SCheckVersionDlg();
    ~SCheckVersionDlg() override;
    const char* GetClassName() const override { return "SCheckVersionDlg"; }

    // Runs the check; true when the server answered. owner: the popup's owner (not automatic).
    bool Run(SWindowFrame* owner, int automatic, int singlePopup);
    // After Run: the user closed the popup before the server replied (nothing to report).
    bool WasClosedByUser() const;
    std::string GetVersion() const;
    std::string GetUrl() const;

    // The library's completion callback (any thread). False for a result type other than
    // "answered" or "failed".
    bool OnWebApiResult(WEBAPI_DATA* data);

    // How long the start-up worker waits for the answer (generous: the request has its own
    // time limits) and how long an answer is held before it is shown (so the animation is seen).
    static std::chrono::milliseconds GetWaitLimit();
    static void SetWaitLimit(std::chrono::milliseconds limit);
    static std::chrono::milliseconds GetAnswerDelay();
    static void SetAnswerDelay(std::chrono::milliseconds delay);

    void OnCreate() override;
    void OnPaint(SDC& dc) override;

private:
    bool StartRequest();

    std::unique_ptr<SWebApi> m_webApi;
    SLoadingAnimationControl m_loading{2};
    std::string m_title;
    std::string m_body;
    platform::Event m_answered{platform::Event::Reset::Manual};
    // Ends the answer delay early when the check is torn down.
    platform::Event m_cancelled{platform::Event::Reset::Manual};
    mutable std::mutex m_mutex;
    SPopupDialog* m_popup = nullptr;
    bool m_hasAnswer = false;
    // The server replied (an answer or an error) during this check.
    bool m_replied = false;
    bool m_requestFailed = false;
    std::string m_version;
    std::string m_url;
};

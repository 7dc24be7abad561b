#include "app/SCheckVersionDlg.h"

#include "base/Log.h"
#include "platform/window/Backend.h"
#include "services/SLocale.h"
#include "services/SWebApi.h"
#include "ui/SDC.h"
#include "ui/SDispatcher.h"
#include "ui/SPalette.h"
#include "ui/SPopupDialog.h"
#include "ui/TextFlags.h"

namespace {

std::mutex g_instanceMutex;
SCheckVersionDlg* g_instance = nullptr;

std::atomic<long long> g_waitLimitMs{90000};
std::atomic<long long> g_answerDelayMs{1000};

constexpr double kLoadingSize = 48;
constexpr double kTextSide = 20;

}  // namespace

SCheckVersionDlg::SCheckVersionDlg()
    : m_title(AfxGetStrRes("MNU_CheckUpdate")), m_body(AfxGetStrRes("MSG_UpdateCheckVerify")) {
    std::lock_guard<std::mutex> guard(g_instanceMutex);
    g_instance = this;
}

SCheckVersionDlg::~SCheckVersionDlg() {
    // A callback still in its delay returns at once and then finds nobody.
    m_cancelled.signal();
    {
        std::lock_guard<std::mutex> guard(g_instanceMutex);
        if (g_instance == this) {
            g_instance = nullptr;
        }
    }
    m_webApi.reset();
}

std::chrono::milliseconds SCheckVersionDlg::GetWaitLimit() {
    return std::chrono::milliseconds(g_waitLimitMs.load());
}

void SCheckVersionDlg::SetWaitLimit(std::chrono::milliseconds limit) {
    g_waitLimitMs.store(limit.count());
}

std::chrono::milliseconds SCheckVersionDlg::GetAnswerDelay() {
    return std::chrono::milliseconds(g_answerDelayMs.load());
}

void SCheckVersionDlg::SetAnswerDelay(std::chrono::milliseconds delay) {
    g_answerDelayMs.store(delay.count());
}

bool SCheckVersionDlg::StartRequest() {
    m_answered.reset();
    m_webApi = std::make_unique<SWebApi>(
        [](WEBAPI_DATA* data) {
            std::lock_guard<std::mutex> guard(g_instanceMutex);
            return g_instance != nullptr ? g_instance->OnWebApiResult(data) : false;
        },
        true);
    if (!m_webApi->GetTesselVersion("", true, "")) {
        _Log(LOG_WARNING, "SCheckVersionDlg::StartRequest", __LINE__,
             "the version request could not be started");
        return false;
    }
    return true;
}

bool SCheckVersionDlg::Run(SWindowFrame* owner, int automatic, int singlePopup) {
    if (automatic != 0) {
        if (StartRequest() && !m_answered.wait(GetWaitLimit())) {
            _Log(LOG_WARNING, "SCheckVersionDlg::Run", __LINE__,
                 "no answer from the update server within %lld ms",
                 static_cast<long long>(GetWaitLimit().count()));
        }
    } else {
        SPopupDialog popup(this, SPopupDialog::kNoButtons, "SCheckVersionDlg");
        popup.SetSinglePopup(singlePopup);
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_popup = &popup;
        }
        // The request starts once the popup is up (the first thing its loop does), so the
        // answer always finds a window to close.
        if (SDispatcher* dispatcher = SDispatcher::GetInstance()) {
            dispatcher->GetBackend().postCall([this, &popup] {
                if (!StartRequest()) {
                    {
                        std::lock_guard<std::mutex> guard(m_mutex);
                        m_requestFailed = true;
                    }
                    popup.EndDialog(SPopupDialog::kResultClosed);
                }
            });
            popup.DoModalResult(owner, AfxGetStrRes("MNU_AuralisManager"), SSize(kWidth, kHeight));
        }
        std::lock_guard<std::mutex> guard(m_mutex);
        m_popup = nullptr;
    }
    // No callback may write the answer once it is read.
    m_cancelled.signal();
    {
        std::lock_guard<std::mutex> guard(g_instanceMutex);
        if (g_instance == this) {
            g_instance = nullptr;
        }
    }
    m_webApi.reset();
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_hasAnswer;
}

bool SCheckVersionDlg::OnWebApiResult(WEBAPI_DATA* data) {
    if (data == nullptr || (data->type != WRT_ANSWER && data->type != WRT_ERROR)) {
        return false;
    }
    // Called with the instance lock held: the dialog cannot go away meanwhile, and its
    // destructor's signal ends this delay early.
    m_cancelled.wait(GetAnswerDelay());
    std::lock_guard<std::mutex> guard(m_mutex);
    if (data->type == WRT_ANSWER && data->answer != nullptr) {
        const auto* answer = static_cast<const WEBAPI_TESSEL_VERSION*>(data->answer);
        m_version = answer->version;
        m_url = answer->url;
        m_hasAnswer = true;
    }
    m_replied = true;
    m_answered.signal();
    if (m_popup != nullptr) {
        m_popup->PostEndDialog(SPopupDialog::kResultClosed);
    }
    return true;
}

bool SCheckVersionDlg::WasClosedByUser() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return !m_replied && !m_requestFailed;
}

std::string SCheckVersionDlg::GetVersion() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_version;
}

std::string SCheckVersionDlg::GetUrl() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_url;
}

void SCheckVersionDlg::OnCreate() {
    m_loading.Create("Loading Control", this, SMargin(-1, 8, -1, -1),
                     SSize(kLoadingSize, kLoadingSize));
    m_loading.SetVisible(1);
}

void SCheckVersionDlg::OnPaint(SDC& dc) {
    const SRect own = GetRect(kRectOwnLogical, 0);
    dc.FillRect(own, SPalette::kSurface);
    const double top = 8 + kLoadingSize + 6;
    // What is drawn is what a screen reader reads.
    SetAccessibleName(m_body);
    SetAccessibleRole("label");
    dc.DrawText(m_body, SRect(kTextSide, top, own.right - kTextSide, top + 24),
                DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX, kBodyFont,
                SPalette::kText);
}

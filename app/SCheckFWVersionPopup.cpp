#include "app/SCheckFWVersionPopup.h"

#include "base/Log.h"
#include "fota/ReleaseNotesLanguage.h"
#include "services/EnvironVar.h"
#include "services/SLocale.h"
#include "services/SWebApi.h"
#include "ui/SDC.h"
#include "ui/SPalette.h"
#include "ui/SPopupDialog.h"
#include "ui/TextFlags.h"

namespace {

constexpr double kBodyTop = 14;
constexpr double kBodyHeight = 22;
constexpr double kBodySide = 16;
constexpr double kLoadingTop = 44;
constexpr double kLoadingSize = 40;
constexpr int kBodyFont = 114;  // 13 px regular
constexpr int kDialogResultDone = 1;

std::atomic<SCheckFWVersionPopup*> g_livePopup{nullptr};
std::atomic<long long> g_answerPauseMs{1000};

}  // namespace

SCheckFWVersionPopup::SCheckFWVersionPopup(SWindowFrame* parent, std::string modelCode)
    : m_titleText(AfxGetStrRes("MNU_CheckUpdate")),
      m_modelCode(std::move(modelCode)),
      m_parent(parent),
      m_webApi(std::make_unique<SWebApi>(&SCheckFWVersionPopup::WebApiCallback, true)) {
    g_livePopup.store(this);
}

SCheckFWVersionPopup::~SCheckFWVersionPopup() {
    m_stopEvent.signal();
    m_doneEvent.signal();
    // Cancels a request still running and waits for its thread: no callback after this line.
    m_webApi.reset();
    SCheckFWVersionPopup* self = this;
    g_livePopup.compare_exchange_strong(self, nullptr);
    Destroy();
}

SCheckFWVersionPopup* SCheckFWVersionPopup::GetLivePopup() {
    return g_livePopup.load();
}

void SCheckFWVersionPopup::SetAnswerPause(std::chrono::milliseconds pause) {
    g_answerPauseMs.store(pause.count());
}

SPopupDialog* SCheckFWVersionPopup::GetDialog() const {
    std::lock_guard<std::mutex> guard(m_dialogMutex);
    return m_dialog;
}

int SCheckFWVersionPopup::Show() {
    if (m_parent == nullptr) {
        return 0;
    }
    SPopupDialog dialog(this, SPopupDialog::kNoButtons, "SCheckFWVersionPopup");
    {
        std::lock_guard<std::mutex> guard(m_dialogMutex);
        m_dialog = &dialog;
    }
    const int result = dialog.DoModalResult(m_parent, AfxGetStrRes("MNU_FirmwareUpdateTitle"),
                                            SSize(kWidth, kHeight));
    {
        // From here on the callback signals the done event instead of closing the dialog.
        std::lock_guard<std::mutex> guard(m_dialogMutex);
        m_dialog = nullptr;
    }
    return result;
}

void SCheckFWVersionPopup::OnCreate() {
    m_bodyText = AfxGetStrRes("MSG_UpdateCheckVerify");
    // A widget is first shown as it is created, before this hook: inside its dialog the
    // animation plays from the start.
    m_loading.Create("Loading Control", this, SMargin(-1, kLoadingTop, -1, -1),
                     SSize(kLoadingSize, kLoadingSize), GetDialog() != nullptr ? 1 : 0);
}

void SCheckFWVersionPopup::OnFirstShow() {
    if (GetDialog() != nullptr) {
        m_loading.SetVisible(1);
    }
    if (!m_webApi->GetFirmwareVersion(m_modelCode)) {
        // No callback will come: the check has failed.
        _Log(LOG_WARNING, "SCheckFWVersionPopup::OnFirstShow", __LINE__,
             "GetFirmwareVersion could not start for model[%s]", m_modelCode.c_str());
        m_error.store(WEBAPI_ERROR_FAILED);
        Finish("[SCheckFWVersionPopup] WebApiCallback: Get version error");
    }
}

void SCheckFWVersionPopup::OnPaint(SDC& dc) {
    const SRect area = GetRect(kRectOwnLogical, 0);
    dc.FillRect(area, SPalette::kSurface);
    const SRect body(area.left + kBodySide, kBodyTop, area.right - kBodySide,
                     kBodyTop + kBodyHeight);
    // What is drawn is what a screen reader reads.
    SetAccessibleName(m_bodyText);
    SetAccessibleRole("label");
    dc.DrawText(m_bodyText, body, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_END_ELLIPSIS,
                kBodyFont, SPalette::kText);
}

bool SCheckFWVersionPopup::WebApiCallback(WEBAPI_DATA* data) {
    SCheckFWVersionPopup* popup = g_livePopup.load();
    if (data == nullptr || popup == nullptr) {
        return false;
    }
    return popup->HandleData(*data);
}

bool SCheckFWVersionPopup::HandleData(const WEBAPI_DATA& data) {
    switch (data.type) {
        case WRT_ANSWER:
            PauseForAnimation();
            if (data.answer != nullptr && data.error == 0) {
                StoreAnswer(*static_cast<const WEBAPI_FIRMWARE_VERSION*>(data.answer));
            }
            // After the fields: a reader that sees 0 here sees them complete.
            m_error.store(data.answer != nullptr ? data.error : WEBAPI_ERROR_BAD_ANSWER);
            Finish("[SCheckFWVersionPopup] WebApiCallback: Get version success");
            return true;
        case WRT_ERROR:
            if (data.cause != nullptr) {
                std::lock_guard lock(m_causeMutex);
                m_cause = data.cause->message();
            }
            m_error.store(data.error != 0 ? data.error : WEBAPI_ERROR_FAILED);
            PauseForAnimation();
            Finish("[SCheckFWVersionPopup] WebApiCallback: Get version error");
            return true;
        default:
            return false;
    }
}

base::Error SCheckFWVersionPopup::GetCause() const {
    const int error = m_error.load();
    if (error == 0) {
        return {};
    }
    std::string words;
    {
        std::lock_guard lock(m_causeMutex);
        words = m_cause;
    }
    if (words.empty()) {
        words = "the request failed (error " + std::to_string(error) + ")";
    }
    return base::Error(words, error).within("version check");
}

void SCheckFWVersionPopup::StoreAnswer(const WEBAPI_FIRMWARE_VERSION& answer) {
    m_newVersion = answer.version;
    m_downloadUrl = answer.url;
    m_flag = answer.flag;
    m_extra = answer.extra;
    m_releaseNotes = fota::releaseNotesFor(answer.notes, EnvironVar::GetLanguage());
    m_releaseNotesKorean = answer.notesKorean;
}

void SCheckFWVersionPopup::PauseForAnimation() {
    m_stopEvent.wait(std::chrono::milliseconds(g_answerPauseMs.load()));
}

void SCheckFWVersionPopup::Finish(const char* logLine) {
    std::lock_guard<std::mutex> guard(m_dialogMutex);
    if (m_dialog != nullptr) {
        _Log(LOG_INFO, "SCheckFWVersionPopup::WebApiCallback", __LINE__, "%s", logLine);
        // The dialog ends on the UI thread, if it is still open when the call gets there.
        m_dialog->PostEndDialog(kDialogResultDone);
        return;
    }
    m_doneEvent.signal();
}

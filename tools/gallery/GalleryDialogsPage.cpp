#include "tools/gallery/GalleryDialogsPage.h"

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "platform/Paths.h"
#include "services/SLocale.h"
#include "ui/CHtmlDlg.h"
#include "ui/SAutoToolTipContent.h"
#include "ui/SCheckButton.h"
#include "ui/SCommonButton.h"
#include "ui/SCommonToolTipContent.h"
#include "ui/SDC.h"
#include "ui/SImage.h"
#include "ui/SLoadingAnimationControl.h"
#include "ui/SMessageDialog.h"
#include "ui/SPalette.h"
#include "ui/SPopupDialog.h"
#include "ui/SPopupPanelBase.h"
#include "ui/SStaticImage.h"
#include "ui/SWindowAgent.h"
#include "ui/TextFlags.h"

namespace {

const char* const kMessages[] = {
    "The earbuds' software is up to date.",
    "Update the earbuds' software now? Keep both earbuds in the case while it runs.",
    "The download stopped. Abort it, try again, or ignore the problem?",
    "Save the new earbud name before leaving?",
    "Connect to \"Auralis Buds (1A2B)\"?",
    "The earbuds could not be reached.",
    "The update was interrupted. Continue where it stopped?",
};

// The content of the question popup: a message and a check box under it.
class QuestionPanel : public SPopupPanelBase {
public:
    void OnCreate() override {
        m_check.SetDefaultCheckImages();
        m_check.SetText(AfxGetStrRes("MNU_CheckboxText"));
        m_check.Create("ReCheck", this, SMargin(14, -1, -1, 12), SSize(220, 22));
    }
    void OnPaint(SDC& dc) override {
        const SRect own = GetRect(kRectOwnLogical, 0);
        dc.FillRect(own, SPalette::kSurface);
        const std::string text =
            AfxGetStrResFormat("MSG_NewSoftwareAvailable", 1, AfxGetStrRes("MNU_AuralisManager"));
        dc.DrawText(text, SRect(10, 0, own.right - 10, own.bottom - 40),
                    DT_WORDBREAK | DT_VCENTER | DT_NOCLIP, 112, SPalette::kText);
    }

private:
    SCheckButton m_check;
};

// The content of the waiting popup: a loading animation and a line of text.
class WaitingPanel : public SPopupPanelBase {
public:
    void OnCreate() override {
        m_loading.Create("Loading Control", this, SMargin(-1, 16, -1, -1), SSize(60, 44));
    }
    void OnPaint(SDC& dc) override {
        const SRect own = GetRect(kRectOwnLogical, 0);
        dc.DrawText(AfxGetStrRes("MSG_UpdateCheckVerify"),
                    SRect(10, 66, own.right - 10, own.bottom), DT_WORDBREAK | DT_CENTER, 112,
                    SPalette::kText);
    }

private:
    SLoadingAnimationControl m_loading{2};
};

}  // namespace

GalleryDialogsPage::GalleryDialogsPage() = default;
GalleryDialogsPage::~GalleryDialogsPage() = default;

void GalleryDialogsPage::Build() {
    BuildMessages();
    BuildPopups();
    BuildToolTips();
    AddStatusLine();
    SetStatus("Open a dialog: the pressed button's result comes back here.");
}

SWindowFrame* GalleryDialogsPage::Owner() {
    SWindowAgent* agent = GetAgent();
    return agent != nullptr ? agent->GetFrame() : nullptr;
}

void GalleryDialogsPage::BuildMessages() {
    SPanel* section =
        Section("SMessageDialog: the seven button sets", SMargin(12, 10, -1, -1), SSize(420, 300));
    const char* sets[] = {
        "0  OK",      "1  OK, Cancel",    "2  Abort, Retry, Ignore",   "3  Yes, No, Cancel",
        "4  Yes, No", "5  Retry, Cancel", "6  Cancel, Retry, Continue"};
    for (int type = 0; type <= 6; ++type) {
        auto* button = Add(std::make_unique<SCommonButton>());
        button->SetStyle(12);
        button->SetText("Type " + std::to_string(type));
        button->SetDelegate(this);
        button->Create("Type " + std::to_string(type), section, SMargin(14, 38 + type * 36, -1, -1),
                       SSize(110, 30));
        Label(section, sets[type], SMargin(140, 38 + type * 36, -1, -1), SSize(260, 30));
    }
}

void GalleryDialogsPage::BuildPopups() {
    SPanel* section =
        Section("SPopupDialog and the HTML dialog", SMargin(444, 10, 12, -1), SSize(0, 170));
    const char* captions[] = {"Question popup", "Waiting popup", "HTML dialog"};
    const char* notes[] = {"own content, OK/Cancel set with new captions",
                           "no buttons; a worker thread closes it",
                           "a local page's text; opens in the browser"};
    for (int i = 0; i < 3; ++i) {
        auto* button = Add(std::make_unique<SCommonButton>());
        button->SetStyle(12);
        button->SetText(captions[i]);
        button->SetDelegate(this);
        button->Create(captions[i], section, SMargin(14, 38 + i * 42, -1, -1), SSize(150, 32));
        Label(section, notes[i], SMargin(176, 38 + i * 42, 10, -1), SSize(0, 32), 112,
              SPalette::kTextSecondary);
    }
}

void GalleryDialogsPage::BuildToolTips() {
    SPanel* section =
        Section("Tooltips (hover the batteries)", SMargin(444, 192, 12, -1), SSize(0, 118));
    const char* batteries[] = {"\\res\\Home\\home_orvel_battery_05.png",
                               "\\res\\Home\\home_orvel_battery_03.png",
                               "\\res\\Home\\home_orvel_battery_charging.png"};
    const char* notes[] = {"bubble, centred", "bubble, automatic", "plain"};
    for (int i = 0; i < 3; ++i) {
        m_images.push_back(LoadImage(batteries[i]));
        auto* image = Add(std::make_unique<SStaticImage>());
        image->SetImage(m_images.back().get());
        image->Create(notes[i], section, SMargin(30 + i * 120, 40, -1, -1), SSize(30, 30));
        if (i == 0) {
            image->SetToolTip(std::make_unique<SCommonToolTipContent>("Left earbud: 100 %"));
        } else if (i == 1) {
            image->SetToolTip(std::make_unique<SAutoToolTipContent>(
                "Right earbud: 55 %. The bubble keeps to the screen."));
        } else {
            image->SetToolTip(std::make_unique<SToolTipContent>("Case: charging"));
        }
        Label(section, notes[i], SMargin(i * 120, 76, -1, -1), SSize(90, 20), 110,
              SPalette::kTextSecondary, DT_SINGLELINE | DT_CENTER);
    }
}

void GalleryDialogsPage::ShowMessage(SWindowFrame* owner, int type, int* result) {
    const int answer = SMessageDialog::Show(owner, AfxGetStrRes("MNU_AuralisManager"),
                                            kMessages[type < 0 || type > 6 ? 0 : type], type);
    if (result != nullptr) {
        *result = answer;
    }
}

int GalleryDialogsPage::ShowQuestionPopup(SWindowFrame* owner) {
    QuestionPanel panel;
    SPopupDialog dialog(&panel, 1, "SNeedUpdatePanel");
    dialog.SetButtonCaptions(
        {AfxGetStrRes("MNU_Zephiro_Update"), AfxGetStrRes("MNU_Zephiro_Cancel")});
    dialog.SetSinglePopup(1);
    const std::string title =
        AfxGetStrRes("MNU_AuralisManager") + " " + AfxGetStrRes("MNU_Zephiro_Update");
    return dialog.DoModalResult(owner, title, SSize(386, 160));
}

int GalleryDialogsPage::ShowWaitingPopup(SWindowFrame* owner) {
    WaitingPanel panel;
    SPopupDialog dialog(&panel, SPopupDialog::kNoButtons, "SCheckVersionPanel");
    // The answer arrives on another thread, as a web request's would.
    std::thread worker([&dialog] {
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        dialog.PostEndDialog(1);
    });
    const int result =
        dialog.DoModalResult(owner, AfxGetStrRes("MNU_CheckUpdate"), SSize(360, 160));
    worker.join();
    return result;
}

int GalleryDialogsPage::ShowHtmlDialog(SWindowFrame* owner) {
    const std::string path =
        (platform::paths::executableFolder() / "res" / "Gallery" / "notices.html").string();
    CHtmlDlg dialog(path);
    return dialog.DoModal(owner, AfxGetStrRes("MNU_LicenceInformation"), SSize(680, 410));
}

void GalleryDialogsPage::ButtonClicked(SButton* button) {
    const std::string& name = button->GetName();
    if (name.rfind("Type ", 0) == 0) {
        int result = 0;
        ShowMessage(Owner(), std::stoi(name.substr(5)), &result);
        SetStatus(name + ": result " + std::to_string(result));
    } else if (name == "Question popup") {
        SetStatus("Question popup: result " + std::to_string(ShowQuestionPopup(Owner())));
    } else if (name == "Waiting popup") {
        SetStatus("Waiting popup: result " + std::to_string(ShowWaitingPopup(Owner())));
    } else if (name == "HTML dialog") {
        ShowHtmlDialog(Owner());
        SetStatus("HTML dialog closed");
    }
}

#include "tests/app/DialogScript.h"

#include <thread>

#include "ui/SButton.h"
#include "ui/SDialogFrame.h"
#include "ui/SPopupDialog.h"

namespace app_test {

namespace {

SWindowBase* FindByClass(SWindowBase* root, const std::string& className) {
    if (root == nullptr) {
        return nullptr;
    }
    if (className == root->GetClassName()) {
        return root;
    }
    for (SWindowBase* child : root->GetChildren()) {
        if (SWindowBase* found = FindByClass(child, className)) {
            return found;
        }
    }
    return nullptr;
}

}  // namespace

DialogScript::~DialogScript() {
    *m_alive = false;
}

DialogScript& DialogScript::Then(std::string what, std::function<bool()> ready,
                                 std::function<void()> action) {
    m_steps.push_back(Step{std::move(what), std::move(ready), std::move(action)});
    return *this;
}

void DialogScript::Start() {
    std::weak_ptr<bool> alive = m_alive;
    m_backend.postCall([this, alive] {
        if (alive.lock()) {
            Poll();
        }
    });
}

std::string DialogScript::Waiting() const {
    return Done() ? "nothing" : m_steps[m_next].what;
}

void DialogScript::Poll() {
    if (Done()) {
        return;
    }
    Step& step = m_steps[m_next];
    if (step.ready()) {
        ++m_next;
        m_backend.postCall(step.action);
    } else {
        // Give the loop's other work (timers, the web answer) a moment.
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Start();
}

SDialogFrame* DialogScript::FindDialog(const std::string& className) {
    const std::vector<SDialogFrame*> dialogs = SDialogFrame::GetOpenDialogs();
    for (auto it = dialogs.rbegin(); it != dialogs.rend(); ++it) {
        SDialogFrame* dialog = *it;
        if (dialog->IsClosing() != 0 || !dialog->IsModalRunning()) {
            continue;
        }
        if (FindByClass(&dialog->GetRoot(), className) != nullptr) {
            return dialog;
        }
    }
    return nullptr;
}

SWindowBase* DialogScript::FindContent(SDialogFrame* dialog, const std::string& className) {
    return dialog != nullptr ? FindByClass(&dialog->GetRoot(), className) : nullptr;
}

void DialogScript::PressButton(SPopupDialog* popup, const std::string& caption) {
    if (popup == nullptr) {
        return;
    }
    if (auto* button = dynamic_cast<SButton*>(popup->GetButtonPanel().FindChild(caption))) {
        button->PerformClick();
    }
}

}  // namespace app_test

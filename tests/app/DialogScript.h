#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/window/headless/HeadlessBackend.h"

class SDialogFrame;
class SPopupDialog;
class SWindowBase;

namespace app_test {

// Plays the user through modal dialogs: each step waits until its condition holds, then its
// action runs as a call of its own (an action may open a dialog whose loop runs inside it),
// then the next step waits. The script polls from calls posted to the window loop, so it runs
// inside whichever modal loop is current.
class DialogScript {
public:
    struct Step {
        std::string what;
        std::function<bool()> ready;
        std::function<void()> action;
    };

    explicit DialogScript(platform::window::HeadlessBackend& backend) : m_backend(backend) {}
    ~DialogScript();

    DialogScript& Then(std::string what, std::function<bool()> ready, std::function<void()> action);
    // Starts polling (call before whatever opens the first dialog, or after).
    void Start();
    bool Done() const { return m_next >= m_steps.size(); }
    // The step that has not yet happened, for failure messages.
    std::string Waiting() const;

    // The newest open dialog whose content (or, for a plain dialog, the dialog itself) has a
    // widget of that class name; null when none is open or it is still zooming in.
    static SDialogFrame* FindDialog(const std::string& className);
    // The content widget of that class in a popup dialog.
    static SWindowBase* FindContent(SDialogFrame* dialog, const std::string& className);
    // Clicks the button of a popup's button row by its caption.
    static void PressButton(SPopupDialog* popup, const std::string& caption);

private:
    void Poll();

    platform::window::HeadlessBackend& m_backend;
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    bool m_stopped = false;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace app_test

#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/IButtonDelegate.h"
#include "ui/SCommonButton.h"
#include "ui/SPanel.h"

// The row of standard buttons at the bottom of a message dialog: up to three pill buttons of
// 124 x 32 units, 5 apart, centred, each with the dialog result it stands for. Button sets by
// type (the platform's message-box types); captions come from the text tables. Each button is
// named by its caption; its accessible id ("Button OK", "Button Cancel", ...) names the result it
// gives, the same in every language and whatever caption replaces the table's:
//   0  OK (1)                  1  OK (1), Cancel (2)
//   2  Abort (3), Retry (4), Ignore (5)
//   3  Yes (6), No (7), Cancel (2)         4  Yes (6), No (7)
//   5  Retry (4), Cancel (2)   6  Cancel (2), Retry (10), Continue (11)
//   any other type: as 0
class SMessageButtonPanel : public SPanel, public IButtonDelegate {
public:
    static constexpr double kButtonWidth = 124;
    static constexpr double kButtonHeight = 32;
    static constexpr double kGap = 5;
    static constexpr int kCaptionStyle = 12;

    struct Entry {
        std::string captionKey;
        int result;
        std::string accessibleId;
    };

    SMessageButtonPanel();
    ~SMessageButtonPanel() override;
    const char* GetClassName() const override { return "SMessageButtonPanel"; }

    static std::vector<Entry> ButtonSet(int type);
    // Chooses the buttons of a type; non-empty captions replace the table's, left to right.
    // Takes effect at creation, or at once when the panel exists.
    void SetButtons(int type, const std::vector<std::string>& captions = {});
    std::size_t GetButtonCount() const { return m_buttons.size(); }
    SCommonButton* GetButton(std::size_t index) const;
    int GetResult(std::size_t index) const;
    // Told the result of the button clicked.
    void SetResultHandler(std::function<void(int)> handler) { m_onResult = std::move(handler); }

    // The row places its buttons itself, from its width whenever it is laid out.
    int StacksChildren() override { return 1; }
    int StackIsHorizontal() override { return 1; }
    double ChildStackOffset(SWindowBase* child) override;

    void OnCreate() override;
    void ButtonClicked(SButton* button) override;

private:
    void BuildButtons();

    int m_type = 0;
    std::vector<std::string> m_captions;
    std::vector<std::unique_ptr<SCommonButton>> m_buttons;
    std::vector<int> m_results;
    std::function<void(int)> m_onResult;
};

#pragma once

#include <string>
#include <vector>

class SWindowFrame;

// The toolkit's message dialog: a title, a message and one of the standard button sets
// (SMessageButtonPanel), run modally over its owner. Returns the result id of the button
// pressed, or SPopupDialog::kResultClosed when it was closed otherwise.
class SMessageDialog {
public:
    static constexpr double kMinimumWidth = 360;
    static constexpr double kMinimumHeight = 160;

    static int Show(SWindowFrame* owner, const std::string& title, const std::string& text,
                    int type = 0, const std::vector<std::string>& captions = {});
    // The dialog size (logical units) the message and the buttons of `type` need.
    static double Width(int type);
    static double Height(const std::string& text, int type);
};

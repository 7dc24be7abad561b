#include "ui/SMessageDialog.h"

#include <algorithm>
#include <cmath>

#include "ui/SDialogTitleBar.h"
#include "ui/SMessageButtonPanel.h"
#include "ui/SMessageTextPanel.h"
#include "ui/SPopupDialog.h"

namespace {
// Content area margins of a dialog: the title row above, 16 units below.
constexpr double kChromeHeight = SDialogTitleBar::kHeight + 16;
}  // namespace

double SMessageDialog::Width(int type) {
    const double n = static_cast<double>(SMessageButtonPanel::ButtonSet(type).size());
    const double buttons =
        n * SMessageButtonPanel::kButtonWidth + (n - 1) * SMessageButtonPanel::kGap;
    return std::max(kMinimumWidth, buttons + 2 * SMessageTextPanel::kPadding);
}

double SMessageDialog::Height(const std::string& text, int type) {
    const SMessageTextPanel panel(text);
    const double content = panel.HeightFor(Width(type));
    return std::max(kMinimumHeight,
                    std::ceil(content + SPopupDialog::kButtonRowHeight + kChromeHeight));
}

int SMessageDialog::Show(SWindowFrame* owner, const std::string& title, const std::string& text,
                         int type, const std::vector<std::string>& captions) {
    SMessageTextPanel panel(text);
    SPopupDialog dialog(&panel, type, "SMessageTextPanel");
    dialog.SetButtonCaptions(captions);
    return dialog.DoModalResult(owner, title, SSize(Width(type), Height(text, type)));
}

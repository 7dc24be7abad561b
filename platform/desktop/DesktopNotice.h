#pragma once

#include <string>

namespace platform::desktop {

// One desktop notification. Whether it is shown at all (do-not-disturb) is the desktop's choice.
struct DesktopNotice {
    std::string summary;
    std::string body;
    std::string iconPath;  // an absolute PNG path, or empty
    // The label of the default action (a click on the notice); empty: no action.
    std::string defaultActionLabel;
};

}  // namespace platform::desktop

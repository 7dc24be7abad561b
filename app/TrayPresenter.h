#pragma once

#include <string>
#include <vector>

#include "link/DeviceStatus.h"
#include "platform/desktop/TrayContent.h"

// What the tray item says about the connected pair: the battery lines (tooltip and menu), and
// the menu around them. Texts come in the user's language; no state, no bus.
class TrayPresenter {
public:
    // Menu entry ids.
    static constexpr int kOpenId = 1;
    static constexpr int kChooseOtherId = 2;
    static constexpr int kKeepInTrayId = 3;
    static constexpr int kQuitId = 4;
    static constexpr int kFirstBatteryLineId = 10;
    // Actions other parts of the program add (Sync earbuds, ...) get ids from here on.
    static constexpr int kFirstExtraId = 100;

    struct Pair {
        std::string name;
        bool secondGeneration = false;
        DeviceStatus status;
        bool hasStatus = false;
    };

    // "Left 64 %", "Right 58 %", "Case 40 %": a bud that is not in use or reports no level is
    // left out; the case only for a second-generation pair with a bud in it (as the home
    // screen shows it).
    static std::vector<std::string> BatteryLines(const Pair& pair);
    // The lines joined for the tooltip.
    static std::string BatteryText(const Pair& pair);

    // The whole item: title, tooltip, and menu (battery lines, Open, the extra actions, Choose
    // other earbuds, Keep running in the tray, Quit). The icon is left for the caller.
    static platform::desktop::TrayContent Build(const Pair& pair,
                                                const std::vector<std::string>& extraActions,
                                                bool keepInTray);
};

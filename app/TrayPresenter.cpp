#include "app/TrayPresenter.h"

#include "services/SLocale.h"
#include "ui/SFontTable.h"

namespace {

using platform::desktop::TrayMenuEntry;
using Kind = TrayMenuEntry::Kind;

constexpr int kPlacementInCase = 3;

bool IsLevel(int32_t value) {
    return value >= 1 && value <= 100;
}

// The home screen dims a bud whose placement is 0 or 4: it is not in use.
bool InUse(int placement) {
    return placement != 0 && placement != 4;
}

std::string Line(const char* key, int32_t level) {
    return AfxGetStrResFormat(key, 1, std::to_string(level));
}

}  // namespace

std::vector<std::string> TrayPresenter::BatteryLines(const Pair& pair) {
    std::vector<std::string> lines;
    if (!pair.hasStatus) {
        return lines;
    }
    const DeviceStatus& status = pair.status;
    // First-generation pairs report only their two levels, and no placement.
    const int left = pair.secondGeneration ? (status.wearingDetection >> 4) & 0xF : 1;
    const int right = pair.secondGeneration ? status.wearingDetection & 0xF : 1;
    if (InUse(left) && IsLevel(status.batteryLeft)) {
        lines.push_back(Line("MNU_TrayLeftLevel", status.batteryLeft));
    }
    if (InUse(right) && IsLevel(status.batteryRight)) {
        lines.push_back(Line("MNU_TrayRightLevel", status.batteryRight));
    }
    const bool budInCase = left == kPlacementInCase || right == kPlacementInCase;
    if (pair.secondGeneration && budInCase && IsLevel(status.batteryCase)) {
        lines.push_back(Line("MNU_TrayCaseLevel", status.batteryCase));
    }
    return lines;
}

std::string TrayPresenter::BatteryText(const Pair& pair) {
    const std::string separator = AfxGetStrRes("MNU_TrayListSeparator");
    std::string text;
    for (const std::string& line : BatteryLines(pair)) {
        text += text.empty() ? line : separator + line;
    }
    return text;
}

platform::desktop::TrayContent TrayPresenter::Build(const Pair& pair,
                                                    const std::vector<std::string>& extraActions,
                                                    bool keepInTray) {
    platform::desktop::TrayContent content;
    content.title = AfxGetStrRes("MNU_AuralisManager");
    content.tooltipTitle = pair.name.empty() ? content.title : pair.name;
    content.tooltipText = BatteryText(pair);
    content.rightToLeft = SFontTable::IsRightToLeftLocale(AfxGetLocale()->GetLanguage());

    int lineId = kFirstBatteryLineId;
    for (const std::string& line : BatteryLines(pair)) {
        content.menu.push_back({lineId++, Kind::Text, line, false});
    }
    if (!content.menu.empty()) {
        content.menu.push_back({lineId++, Kind::Separator, "", false});
    }
    content.menu.push_back({kOpenId, Kind::Action, AfxGetStrRes("MNU_OpenAuralisManager"), false});
    int extraId = kFirstExtraId;
    for (const std::string& label : extraActions) {
        content.menu.push_back({extraId++, Kind::Action, label, false});
    }
    content.menu.push_back(
        {kChooseOtherId, Kind::Action, AfxGetStrRes("MNU_ChooseOtherEarbuds"), false});
    content.menu.push_back({lineId++, Kind::Separator, "", false});
    content.menu.push_back(
        {kKeepInTrayId, Kind::Toggle, AfxGetStrRes("MNU_KeepRunningInTray"), keepInTray});
    content.menu.push_back({kQuitId, Kind::Action, AfxGetStrRes("MNU_Quit"), false});
    return content;
}

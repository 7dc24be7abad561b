#pragma once

namespace a11y {

// The AT-SPI state numbers the bridge reports.
namespace state {
constexpr int kActive = 1;
constexpr int kChecked = 4;
constexpr int kEnabled = 8;
constexpr int kFocusable = 11;
constexpr int kFocused = 12;
constexpr int kModal = 16;
constexpr int kMultiLine = 17;
constexpr int kPressed = 20;
constexpr int kSelectable = 22;
constexpr int kSelected = 23;
constexpr int kSensitive = 24;
constexpr int kShowing = 25;
constexpr int kVisible = 30;
constexpr int kCheckable = 41;
constexpr int kReadOnly = 43;
constexpr int kCount = 44;
}  // namespace state

// The state's name as AT-SPI events spell it ("focused"); empty for states never announced.
const char* StateName(int state);

}  // namespace a11y

#pragma once

#include <cstdint>

namespace a11y {

// The AT-SPI role numbers the toolkit's widgets take.
namespace role {
constexpr uint32_t kAlert = 2;
constexpr uint32_t kCheckBox = 7;
constexpr uint32_t kDialog = 16;
constexpr uint32_t kFiller = 20;
constexpr uint32_t kFrame = 23;
constexpr uint32_t kImage = 27;
constexpr uint32_t kLabel = 29;
constexpr uint32_t kList = 31;
constexpr uint32_t kListItem = 32;
constexpr uint32_t kMenu = 33;
constexpr uint32_t kMenuItem = 35;
constexpr uint32_t kPanel = 39;
constexpr uint32_t kPopupMenu = 41;
constexpr uint32_t kProgressBar = 42;
constexpr uint32_t kPushButton = 43;
constexpr uint32_t kScrollPane = 49;
constexpr uint32_t kSeparator = 50;
constexpr uint32_t kToolTip = 64;
constexpr uint32_t kWindow = 69;
constexpr uint32_t kApplication = 75;
constexpr uint32_t kLink = 88;
}  // namespace role

// The role's name as AT-SPI spells it ("push button"); "unknown" for any other number.
const char* RoleName(uint32_t role);
// The role number for a name a widget asks for ("image"), 0 when unknown.
uint32_t RoleFromName(const char* name);

}  // namespace a11y

#pragma once

namespace platform::window::keys {

// Key codes delivered with key events. The values are the virtual-key numbers the toolkit has
// always used (Tab = 9, F10 = 121, letters are their upper-case ASCII codes, digits their ASCII
// codes), so widgets compare against the same numbers whatever the backend.
constexpr int kBackspace = 8;
constexpr int kTab = 9;
constexpr int kReturn = 13;
constexpr int kShift = 16;
constexpr int kControl = 17;
constexpr int kAlt = 18;
constexpr int kPause = 19;
constexpr int kCapsLock = 20;
constexpr int kEscape = 27;
constexpr int kSpace = 32;
constexpr int kPageUp = 33;
constexpr int kPageDown = 34;
constexpr int kEnd = 35;
constexpr int kHome = 36;
constexpr int kLeft = 37;
constexpr int kUp = 38;
constexpr int kRight = 39;
constexpr int kDown = 40;
constexpr int kInsert = 45;
constexpr int kDelete = 46;
constexpr int k0 = 48;    // '0'..'9' are 48..57
constexpr int kA = 65;    // 'A'..'Z' are 65..90
constexpr int kF1 = 112;  // F1..F12 are 112..123
constexpr int kF10 = 121;
constexpr int kF12 = 123;
constexpr int kUnknown = 0;

}  // namespace platform::window::keys

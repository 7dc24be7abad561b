#pragma once

#include <cstdint>
#include <string>

// Keyboard message numbers, as the toolkit has always numbered them.
inline constexpr unsigned WM_KEYDOWN = 0x0100;
inline constexpr unsigned WM_KEYUP = 0x0101;
inline constexpr unsigned WM_CHAR = 0x0102;
inline constexpr unsigned WM_SYSKEYDOWN = 0x0104;
inline constexpr unsigned WM_SYSKEYUP = 0x0105;
inline constexpr unsigned WM_SYSCHAR = 0x0106;

// Flags of accelerator entries.
inline constexpr unsigned FVIRTKEY = 0x01;
inline constexpr unsigned FSHIFT = 0x04;
inline constexpr unsigned FCONTROL = 0x08;
inline constexpr unsigned FALT = 0x10;

// A keyboard message as the focus widget first sees it (PreTranslateKey).
struct SKeyMessage {
    unsigned message = WM_KEYDOWN;
    int key = 0;             // key code (platform/window/Keys.h)
    uint32_t flags = 0;      // 1 = auto-repeat
    unsigned modifiers = 0;  // FSHIFT | FCONTROL | FALT
    std::string text;        // WM_CHAR: the typed text (UTF-8)
};

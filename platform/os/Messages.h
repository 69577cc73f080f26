#pragma once

#include <cstdint>

// Window message numbers and their parameter packing, with the values the game's code was written
// against, so that the window procedure and the key bindings read as they always have.
namespace platform::os {

inline constexpr unsigned WM_NULL = 0x0000;
inline constexpr unsigned WM_DESTROY = 0x0002;
inline constexpr unsigned WM_SIZE = 0x0005;
inline constexpr unsigned WM_ACTIVATE = 0x0006;
inline constexpr unsigned WM_CLOSE = 0x0010;
inline constexpr unsigned WM_QUIT = 0x0012;

inline constexpr unsigned WM_KEYFIRST = 0x0100;
inline constexpr unsigned WM_KEYDOWN = 0x0100;
inline constexpr unsigned WM_KEYUP = 0x0101;
inline constexpr unsigned WM_CHAR = 0x0102;
inline constexpr unsigned WM_SYSKEYDOWN = 0x0104;
inline constexpr unsigned WM_SYSKEYUP = 0x0105;
inline constexpr unsigned WM_KEYLAST = 0x0109;

inline constexpr unsigned WM_MOUSEMOVE = 0x0200;
inline constexpr unsigned WM_LBUTTONDOWN = 0x0201;
inline constexpr unsigned WM_LBUTTONUP = 0x0202;
inline constexpr unsigned WM_LBUTTONDBLCLK = 0x0203;
inline constexpr unsigned WM_RBUTTONDOWN = 0x0204;
inline constexpr unsigned WM_RBUTTONUP = 0x0205;
inline constexpr unsigned WM_RBUTTONDBLCLK = 0x0206;
inline constexpr unsigned WM_MBUTTONDOWN = 0x0207;
inline constexpr unsigned WM_MBUTTONUP = 0x0208;
inline constexpr unsigned WM_MBUTTONDBLCLK = 0x0209;
inline constexpr unsigned WM_MOUSEWHEEL = 0x020A;

// WM_ACTIVATE: low word of wParam.
inline constexpr unsigned WA_INACTIVE = 0;
inline constexpr unsigned WA_ACTIVE = 1;
inline constexpr unsigned WA_CLICKACTIVE = 2;

// Mouse messages: wParam holds the buttons and modifier keys down (WM_MOUSEWHEEL: in its low word).
inline constexpr unsigned MK_LBUTTON = 0x0001;
inline constexpr unsigned MK_RBUTTON = 0x0002;
inline constexpr unsigned MK_SHIFT = 0x0004;
inline constexpr unsigned MK_CONTROL = 0x0008;
inline constexpr unsigned MK_MBUTTON = 0x0010;

// One notch of the wheel (WM_MOUSEWHEEL: signed high word of wParam).
inline constexpr int WHEEL_DELTA = 120;

// Key messages: lParam bits.
inline constexpr std::intptr_t KEY_REPEAT_COUNT_MASK = 0xFFFF;  // always 1 here
inline constexpr std::intptr_t KEY_EXTENDED = 1 << 24;
inline constexpr std::intptr_t KEY_ALT_DOWN = 1 << 29;          // context code
inline constexpr std::intptr_t KEY_PREVIOUSLY_DOWN = 1 << 30;   // set on auto-repeats and releases
inline constexpr std::intptr_t KEY_RELEASED = std::intptr_t(1) << 31;

inline constexpr unsigned LowWord(std::uintptr_t value) { return unsigned(value & 0xFFFF); }
inline constexpr unsigned HighWord(std::uintptr_t value) { return unsigned((value >> 16) & 0xFFFF); }
inline constexpr int SignedHighWord(std::uintptr_t value) { return std::int16_t(HighWord(value)); }
inline constexpr std::intptr_t MakeLParam(int low, int high)
{
    return std::intptr_t((std::uint32_t(std::uint16_t(low))) | (std::uint32_t(std::uint16_t(high)) << 16));
}

} // namespace platform::os

#pragma once

namespace platform::os {

class Window;

// Message-box styles (the values the game's code was written against); only the icon matters here.
inline constexpr unsigned MB_OK = 0x00000000;
inline constexpr unsigned MB_ICONERROR = 0x00000010;
inline constexpr unsigned MB_ICONWARNING = 0x00000030;
inline constexpr unsigned MB_ICONINFORMATION = 0x00000040;

// Writes "caption: text" to standard error, then shows a modal message box with an OK button
// when a display is there to show it on (not under the offscreen or dummy video drivers, nor
// without DISPLAY or WAYLAND_DISPLAY). owner may be null.
void ShowMessageBox(Window* owner, const char* text, const char* caption, unsigned style = MB_OK);

} // namespace platform::os

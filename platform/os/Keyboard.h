#pragma once

// Keyboard and mouse-button state in virtual-key codes (US layout).
namespace platform::os {

// The virtual-key code of an SDL scancode (an SDL_Scancode value); 0 for a key with none.
// Left and right Shift, Ctrl and Alt all give the generic VK_SHIFT, VK_CONTROL, VK_MENU.
int VirtualKeyFromScancode(int scancode);

// Whether a scancode belongs to the extended keys (arrows and the block above them, right
// Ctrl and Alt, keypad Enter and divide, ...), as the extended bit of key messages says.
bool IsExtendedScancode(int scancode);

// The unshifted character a key types on a US keyboard: letters in upper case, digits, blank,
// punctuation, keypad digits and operators, and the control characters of Backspace, Tab, Enter
// and Escape; 0 for keys that type nothing.
char VirtualKeyToChar(int virtualKey);

// Whether the key (generic or left/right variant) or the mouse button (VK_LBUTTON, VK_RBUTTON,
// VK_MBUTTON, VK_XBUTTON1/2) is held right now. False before the video subsystem runs.
bool IsKeyDown(int virtualKey);

} // namespace platform::os

#pragma once

// The mouse cursor's visibility, counted the way the game expects: each hide lowers a display
// count, each show raises it, and the cursor is visible while the count is 0 or above.
namespace platform::os {

// Raises (show) or lowers the count by one and returns the new count.
int ShowCursor(bool show);

} // namespace platform::os

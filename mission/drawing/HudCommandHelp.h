#pragma once

#include <vector>

class BitmapFont;
class Device;

// The chat commands' help screen: every command form with its help text, in table order. The
// first two work in any network game, the next thirteen administer the server (host only), the
// next seven are a connected player's, the last three work everywhere.
struct CommandHelpEntry {
    const char* form;
    const char* help;
};

class HudCommandHelp {
public:
    static constexpr int EntryCount = 25;
    static const CommandHelpEntry Entries[EntryCount];

    // The entries the machine can use, in table order.
    static std::vector<CommandHelpEntry> ShownEntries(bool hosting, bool connected);
    // Two columns at the top left: the forms, and right of the widest of them the help texts. The
    // small arial font up to a render width of 800, the courier font above.
    static void Draw(Device* device, BitmapFont* narrowFont, BitmapFont* wideFont, bool hosting, bool connected);
};

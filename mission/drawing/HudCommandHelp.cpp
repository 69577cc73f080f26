#include "mission/drawing/HudCommandHelp.h"

#include "engine/font/BitmapFont.h"
#include "renderer/Device.h"

#include <algorithm>

namespace {

constexpr int NetworkForms = 2;
constexpr int AdministrationForms = 13;
constexpr int PlayerForms = 7;
constexpr int Left = 20;
constexpr int Top = 40;
constexpr int ColumnGap = 16;

} // namespace

const CommandHelpEntry HudCommandHelp::Entries[EntryCount] = {
    {"/tell", "/tell <name or ID> <string> or /tell{<index>} <name><ENTER><string>."},
    {"/ignore <id or name>", "Toggle ignore on someone.  Pick by name or ID."},
    {"/nextmap", "Loads the next map in your map list."},
    {"/restartgame", "Restarts the current game."},
    {"/endgame", "Ends the current game."},
    {"/spectate <ID>", "Spectate the specified player by his ID for the rest of the game."},
    {"/setelapsedtime <sec>", "Set the elapsed game time to the number of seconds you specify."},
    {"/kickid <ID>", "Kick out the player with the specified ID."},
    {"/kick<i> <name>", "Kick out the ith player with the specified name."},
    {"/bansubnetid <id>", "Kick/ISP ban the player with the specified ID.  Add to banned.txt."},
    {"/bansubnet<i> <name>", "Kick/ISP ban the ith player with the specified name.  Add to banned.txt."},
    {"/banid <id>", "Kick/ban the player with the specified ID.  Add to banned.txt."},
    {"/ban<i> <name>", "Kick/ban the ith player with the specified name.  Add to banned.txt."},
    {"/motd <string>", "Change the message of the day to the specified string."},
    {"/servername <string>", "Change the server name to the specified string."},
    {"/team <1-8>", "Go to the specified team #.  Useless in FFA."},
    {"/cyanide", "Take a cyanide pill."},
    {"/vote{kick/ban} <id>", "Initiate a vote to kick/ban the player with the specified ID."},
    {"/votenextmap", "Initiate a vote to go to the next map in the map list."},
    {"/name <string>", "Change your name to the specified string."},
    {"/{kick/ban}{yes/no}", "Vote yes/no to kick/ban someone."},
    {"/nextmap{yes/no}", "Vote yes/no to change to the next map in the list."},
    {"/clearchatmessages", "Clear the current chat messages off the screen."},
    {"/loc", "Show your x,y,z location.  Useful for reporting bugs."},
    {"/help", "Show/hide this screen."},
};

std::vector<CommandHelpEntry> HudCommandHelp::ShownEntries(bool hosting, bool connected)
{
    std::vector<CommandHelpEntry> shown;
    auto add = [&](int first, int count) { shown.insert(shown.end(), Entries + first, Entries + first + count); };
    if (hosting || connected)
        add(0, NetworkForms);
    if (hosting)
        add(NetworkForms, AdministrationForms);
    if (connected)
        add(NetworkForms + AdministrationForms, PlayerForms);
    const int always = NetworkForms + AdministrationForms + PlayerForms;
    add(always, EntryCount - always);
    return shown;
}

void HudCommandHelp::Draw(Device* device, BitmapFont* narrowFont, BitmapFont* wideFont, bool hosting, bool connected)
{
    if (!device)
        return;
    BitmapFont* font = device->GetTargetWidth() <= 800 ? narrowFont : wideFont;
    if (!font)
        return;
    const std::vector<CommandHelpEntry> entries = ShownEntries(hosting, connected);
    int formWidth = 0;
    for (const CommandHelpEntry& entry : entries)
        formWidth = std::max(formWidth, font->GetTextWidth(entry.form));
    const int lineHeight = font->GetLineHeight();
    int y = Top;
    for (const CommandHelpEntry& entry : entries) {
        font->DrawText(device, Left, y, 1.0f, entry.form);
        font->DrawText(device, Left + formWidth + ColumnGap, y, 1.0f, entry.help);
        y += lineHeight;
    }
}

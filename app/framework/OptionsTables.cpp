#include "app/framework/OptionsTables.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

const Resolution Resolutions[ResolutionCount] = {
    {640, 480, "640x480"},     {800, 600, "800x600"},          {1024, 768, "1024x768"}, {1280, 960, "1280x960"},
    {1280, 1024, "1280x1024"}, {1600, 1024, "1600x1024 (WS)"}, {1600, 1200, "1600x1200"},
};

const std::int32_t DefaultOptions[OptionCount] = {
    1, 1, 1, 0, 1, 0, 1, 1, 0, 1, 1, 16, 1, 1, 0, 1, 1, 1, 1, 0, 100, 100, 100, 0, 0, 0, 0, 5, 5, 0, 1, 1, 4,
};

namespace {

const char* const optionLabels[OptionCount] = {
    "Difficulty",
    "Damage Realism",
    "Default Camera Mode",
    "Crosshair Type",
    "Automatic Reload",
    "Realistic Tracers",
    "Accuracy Indicators",
    "Show Firing Enemy Direction",
    "Friendly Fire",
    "Resolution",
    "Bit Depth",
    "Brightness",
    "View Distance",
    "Detail Objects",
    "Detail Object View Distance",
    "Fog",
    "Terrain Texture Resolution",
    "Compress Textures",
    "Pixel Shader Water",
    "Sound Provider:",
    "Master Volume",
    "Speech Volume",
    "Music Volume",
    "Speaker Configuration",
    "Invert Mouse Y",
    "Always Run",
    "Invert Inventory Scrolling",
    "Mouse Sensitivity (X axis)",
    "Mouse Sensitivity (Y axis)",
    "Name:",
    "Profanity Filter: On",
    "Show Names Over Heads",
    "Chat Message Buffer",
};

// A row of nulls shows the number; a row holding only "-" shows nothing.
const char* const valueNames[OptionCount][ValueNameCount] = {
    {"Easy", "Medium", "Hard"},
    {"Arcade", "Realistic"},
    {"First Person", "Third Person"},
    {"-"},
    {"Off", "On"},
    {"No", "Yes"},
    {"Off", "On"},
    {"Off", "On"},
    {"Off", "On"},
    {"640x480", "800x600", "1024x768", "1280x960", "1280x1024", "1600x1024 (WS)", "1600x1200"},
    {"16 bit", "32 bit"},
    {},
    {"Low", "High"},
    {"Off", "On"},
    {"Default", "Far"},
    {"Off", "On"},
    {"Low", "High"},
    {"Off", "On"},
    {"Disabled", "Enabled"},
    {"-"},
    {},
    {},
    {},
    {"2 Speakers", "Headphones", "-", "4 Speakers", "5.1 Surround", "7.1 Surround"},
    {"No", "Yes"},
    {"No", "Yes"},
    {"No", "Yes"},
    {},
    {},
    {"-"},
    {"-"},
    {"Off", "On"},
    {},
};

struct ActionEntry {
    const char* name;
    int key;
};

const ActionEntry actions[ActionCount] = {
    {"Move Forward", 'W'},
    {"Move Backward", 'S'},
    {"Move Left", 'A'},
    {"Move Right", 'D'},
    {"Turn Left", 46},
    {"Turn Right", 35},
    {"Run", 16},
    {"Standing Posture", 'C'},
    {"Crouching Posture", 'X'},
    {"Prone Posture", 'Z'},
    {"Primary Item Action", 1},
    {"Secondary Item Action", 2},
    {"Toggle Grenade", 'T'},
    {"Reload Weapon", 13},
    {"Use Item in World", 'E'},
    {"Select Previous Item", 33},
    {"Select Next Item", 34},
    {"Drop Item", 'P'},
    {"Show Map", 'M'},
    {"Zoom Sights", 'B'},
    {"Change Active Player", 9},
    {"Command: Hold Position", 'H'},
    {"Command: Follow", 'F'},
    {"Command: Hold Fire", 'J'},
    {"Command: Fire At Will", 'G'},
    {"Command: Attack Target", 'R'},
    {"Command: Single Soldier (hold)", 18},
    {"Command: Move To Point", 17},
    {"Change Formation", 'Y'},
    {"Radial Command Menu", 'Q'},
    {"Overhead Command Mode", 32},
    {"Toggle 1st/3rd-Person", 'V'},
    {"Quick Save", 116},
    {"Quick Load", 120},
    {"Send Global Message", 222},
    {"Send Team Message", 186},
    {"Send Personal Message", 'L'},
    {"Multiplayer Stats", 'N'},
    {"Select Knife", '1'},
    {"Select Primary Weapon", '2'},
    {"Select Secondary Weapon", '3'},
    {"Select Item 1", '4'},
    {"Select Item 2", '5'},
    {"Select Item 3", '6'},
    {"Select Item 4", '7'},
    {"Select Item 5", '8'},
    {"Use Binoculars", '9'},
    {"Use First Aid Kit", '0'},
};

void SetName(char (*names)[KeyNameSize], int code, const char* name)
{
    std::snprintf(names[code], KeyNameSize, "%s", name);
}

void SetNames(char (*names)[KeyNameSize], int first, std::initializer_list<const char*> list)
{
    for (const char* name : list)
        SetName(names, first++, name);
}

} // namespace

const char* GetOptionLabel(int option)
{
    return option >= 0 && option < OptionCount ? optionLabels[option] : "";
}

const char* GetOptionValueName(int option, int value)
{
    if (option < 0 || option >= OptionCount)
        return "-";
    const char* const* row = valueNames[option];
    if (!row[0])
        return nullptr;
    if (value < 0 || value >= ValueNameCount || !row[value])
        return "-";
    return row[value];
}

bool IsPercentOption(int option)
{
    return option >= 20 && option <= 22;
}

bool IsValidOptionValue(int option, std::int32_t value)
{
    switch (option) {
    case 0:
        return value >= 0 && value <= 2;
    case 3:
        // Crosshair images are numbered 1..32 from the value 0..31.
        return value >= 0 && value <= 31;
    case 9:
        return value >= 0 && value < ResolutionCount;
    case 11:
        return value >= 0 && value <= 32;
    case 19:
        // Checked against the provider list where it is used.
        return value >= 0;
    case 20:
    case 21:
    case 22:
        return value >= 0 && value <= 100;
    case 23:
        return value == 0 || value == 1 || (value >= 3 && value <= 5);
    case 27:
    case 28:
        return value >= 0 && value <= 9;
    case 29:
        return true;
    case 32:
        return value >= 0 && value <= 6;
    default:
        return option >= 0 && option < OptionCount && (value == 0 || value == 1);
    }
}

const char* GetActionName(int action)
{
    return action >= 0 && action < ActionCount ? actions[action].name : "";
}

int GetDefaultKey(int action)
{
    return action >= 0 && action < ActionCount ? actions[action].key : -1;
}

int FindAction(const char* name)
{
    for (int action = 0; action < ActionCount; ++action)
        if (std::strcmp(actions[action].name, name) == 0)
            return action;
    return -1;
}

void FillKeyNames(char (*names)[KeyNameSize])
{
    std::memset(names, 0, std::size_t(KeyCount) * KeyNameSize);
    SetNames(names, 1, {"Left Mouse", "Right Mouse", "Middle Mouse", "Mouse Button 4", "Mouse Button 5",
                        "Mouse Button 6", "Mouse Button 7", "Backspace", "Tab"});
    SetName(names, 12, "Numpad 5");
    SetName(names, 13, "Enter");
    SetNames(names, 16, {"Shift", "Control", "Alt"});
    SetName(names, 20, "Caps Lock");
    SetNames(names, 32, {"Spacebar", "Page Up", "Page Down", "End", "Home", "Left Arrow", "Up Arrow", "Right Arrow",
                         "Down Arrow"});
    SetName(names, 42, "Print Screen");
    SetName(names, 45, "Insert");
    SetName(names, 46, "Delete");
    for (int code = '0'; code <= '9'; ++code)
        std::snprintf(names[code], KeyNameSize, "%c", code);
    for (int code = 'A'; code <= 'Z'; ++code)
        std::snprintf(names[code], KeyNameSize, "%c", code);
    for (int n = 0; n <= 9; ++n)
        std::snprintf(names[96 + n], KeyNameSize, "Numpad %d", n);
    SetNames(names, 106, {"Numpad Ast.", "Numpad +"});
    SetNames(names, 109, {"Numpad -", "Numpad .", "/"});
    for (int n = 5; n <= 12; ++n)
        std::snprintf(names[111 + n], KeyNameSize, "F%d", n);
    SetNames(names, 144, {"Num Lock", "Scroll Lock"});
    SetNames(names, 186, {";", "=", ",", "-", "."});
    SetNames(names, 219, {"[", "\\", "]", "'"});
    SetNames(names, 256, {"Joy Left", "Joy Right", "Joy Up", "Joy Down", "Joy In", "Joy Out"});
    for (int n = 1; n <= 12; ++n)
        std::snprintf(names[261 + n], KeyNameSize, "Joy%d", n);
}

namespace {

const char* const optionDescriptions[OptionCount] = {
    "Make the game easier or more difficult,\ndefaults to Medium.  Difficulty adjusts\nthings like damage dealt and taken, accuracy\nof shots and intelligence of enemies.",
    "By default the game uses a semi-realistic\ndamage model where one bullet in the right\nplace can kill someone (including the\nplayer).  Setting this to Arcade makes the\ngame more arcade-like, where it takes many\nshots before someone dies.",
    "Set the game to default to first person or\nthird person camera mode.  This setting\ncannot be changed in-game.",
    "The crosshair graphic used during the game.",
    "Automatically reload the current weapon\nwhen the current clip is empty, if this is\noff you must manually reload weapons with\nthe Reload Weapon key.",
    "By default the game fires tracers (colored\nlines that travel in the direction of the\nbullets) from every gun.  This option makes it\nso only weapons that would realistically fire\ntracers fire them.",
    "Small red lines that expand or contract to show\nhow accurate your shots will be.  Accuracy is\nlower when running, walking or other\nactivities.",
    "If this option is on small direction arrows\nwill point out the direction of firing enemies.",
    "Turning on friendly fire will allow you to\ndamage your own squad.  This option cannot be\nchanged in-game.",
    "The screen resolution the game will play in.\nResolutions with (WS) after them mean\nwidescreen, they require a widescreen\nmonitor to be viewed correctly.  This\noption cannot be changed in-game.",
    "32 bit looks much better than 16 bit but\nruns slower on older video cards.  If you\nonly have the 16 bit option this means your\nvideo card doesn't support 32 bit.  This\noption cannot be changed in-game.",
    "If the game seems too dark or too bright\nyou can modify this option to adjust it.\nLower numbers mean darker, higher means\nbrighter.",
    "Settings this option to Low will speed the\ngame up but you won't be able to see as far.\nThis option cannot be changed in-game.",
    "Disabling detail objects speeds up the game\nbut you no longer see small objects like\ngrass, telephones, pictures, etc.  This option\ncannot be changed in-game.",
    "If detail objects are enabled this option\nsets the distance at which they are no\nlonger rendered.  This option cannot be\nchanged in-game.",
    "Some video cards have problems rendering\nwhen fog is enabled, if the game looks\nstrange try turning this option off.",
    "Setting this option to low will improve\nperformance dramatically on systems with low\nRAM (256M) or low-end video cards.  This\noption cannot be changed in-game.",
    "Disable compressed textures if the textures\nlook strange (grainy, weird colors, etc.).\nThis option cannot be changed in-game.",
    "This option can only be enabled if your\nvideo card supports DirectX 8 pixel shaders.\nDisable this if the water looks strange or\nyou prefer the look of the water without\npixel shaders.  This option cannot be changed\nin-game.",
    "Set the sound provider used to play 3D audio.\nYou must use the \"Apply\" button for this\nsetting to take affect.  If the sound provider\nyou choose doesn't work on your system it will\nreset to what it was before you hit \"Apply\".\nThis option cannot be changed in-game.",
    "Adjust the volume of all audio.",
    "Adjust the volume of the squad's speech.",
    "Adjust the volume of the music.",
    "Set this option to match the type of speaker\nsetup you have.",
    "",
    "",
    "This swaps the meaning of \"up\" and \"down\"\nwhen scrolling through the inventory during\nthe game.",
    "Adjust how sensitive the mouse is on the X axis.",
    "Adjust how sensitive the mouse is on the Y axis.",
    "The name you will use in multiplayer.",
    "Enable or disable the profanity filter.",
    "If this option is on, any nearby players\nwill have their names rendered over their\nheads.",
    "The number of chat messages to show before\nthey start to be erased.",
};

} // namespace

const char* GetOptionDescription(int option)
{
    return option >= 0 && option < OptionCount ? optionDescriptions[option] : "";
}

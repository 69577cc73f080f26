#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The largest count a definition or a saved weapon may hold (magazines, cartridges, units).
constexpr std::int32_t kMaxDefinitionCount = 10000;

// One item kind as read from its ".idf" text file: fourteen common lines, then the lines of the
// item's own class, which start at classDataOffset.
struct ItemDefinition {
    char path[256] = {};            // the file path as opened
    char name[40] = {};             // line 1; the key of the definition list
    char displayText[256] = {};     // line 2
    char iconPath[256] = {};        // line 3; empty when the line starts with "-" (no icon)
    float totalWeight = 0.0f;       // baseWeight + unitCount x unitWeight
    float baseWeight = 0.0f;        // line 4
    float unitWeight = 0.0f;        // line 5
    std::int32_t unitCount = 0;     // line 6; -1 = unlimited
    std::int32_t kind = 0;          // line 7: equipment slot class
    std::int32_t restriction = 0;   // line 8
    char keyword[40] = {};          // line 9: selects the item class
    char animationSet[256] = {};    // line 10
    char killMessage[256] = {};     // line 11
    char teamKillMessage[256] = {}; // line 12
    char suicideMessage[256] = {};  // line 13
    char worldModel[256] = {};      // line 14; "N/A" = none
    std::int32_t classDataOffset = 0;
    std::int32_t freed = 0;

    bool HasIcon() const { return iconPath[0] != '\0'; }
};

// Fills the record from the whole text of a file. Only the first token of each line counts: the
// text up to the first ',', '\r' or '\n'. Missing lines leave empty texts and zero numbers; a
// value longer than its field is cut to the field with its terminator.
void ParseItemDefinition(std::string_view text, const char* path, ItemDefinition& definition);

// Reads one ".idf" file through the pack-file layer (so a file inside an archive reads too).
// False when it cannot be opened: the caller skips it.
bool LoadItemDefinition(const char* path, ItemDefinition& definition);

// Reads the definition's file again through the pack-file layer and returns the first tokens of
// count lines from the byte offset (missing lines are empty). Throws q3DError "Can't load %s!"
// when the file cannot be opened.
std::vector<std::string> ReadDefinitionLines(const ItemDefinition& definition, std::int32_t offset, int count);

// The definitions of every item kind, sorted by name in ascending byte order.
class ItemDefinitionList {
public:
    // Throws q3DError "Duplicate item name for item %s" when the name is already present.
    ItemDefinition& Insert(std::unique_ptr<ItemDefinition> definition);
    // Exact, case-sensitive comparison; null when absent.
    const ItemDefinition* Find(const char* name) const;
    std::size_t Count() const { return definitions.size(); }
    const ItemDefinition& At(std::size_t index) const { return *definitions.at(index); }
    // Deletes the definitions of one kind (4: those added while a level runs).
    void RemoveKind(std::int32_t kind);
    void Clear() { definitions.clear(); }

private:
    std::vector<std::unique_ptr<ItemDefinition>> definitions;
};

// Reads every ".idf" file of "GameData/Items/" into the list (a networked client that does not
// host reads the copies the server sent, under "MultiTXT/"). A file that cannot be opened is
// skipped; a duplicate name throws q3DError "Duplicate item name for item %s". Returns the
// number of definitions added.
int LoadItemDefinitionFolder(ItemDefinitionList& list, bool networkClient);

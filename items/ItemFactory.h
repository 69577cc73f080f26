#pragma once

class Item;
struct ItemDefinition;

// Makes the item class that the definition's type keyword names (exact comparison), with the
// item name and keyword copied in; the caller owns it. Null, with a line in the engine log, for
// no definition (an unknown item name), a keyword outside the table, or a class this build does
// not have yet. Construction errors (missing files) are thrown as q3DError.
Item* CreateItemFromDefinition(const ItemDefinition* definition, const char* requestedName);

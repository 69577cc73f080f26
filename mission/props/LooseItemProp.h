#pragma once

#include "engine/core/PtrList.h"
#include "world/props/Prop.h"

class MapObject;

// "looseitem" <name> or "item" <name>: an item lying on the map where the object stands. The name
// is the rest of the line, blanks included, and must name an item definition.
class LooseItemProp : public Prop {
public:
    static constexpr int NameSize = 256;

    std::uint32_t Parse(MapObject* object, const char* line) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropMarker; }

    char itemName[NameSize] = {};
    MapObject* object = nullptr;
};

Prop* LooseItemPropFactory();

// The registry list, newest first.
PtrListOf<LooseItemProp>& LooseItemPropList();

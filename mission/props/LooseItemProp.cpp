#include "mission/props/LooseItemProp.h"

#include <cstdio>
#include <cstring>

#include "app/framework/Application.h"
#include "mission/MissionState.h"
#include "renderer/Device.h"
#include "world/map/MapDescription.h"
#include "world/map/MapObject.h"
#include "world/props/PropArena.h"
#include "world/World.h"

PtrListOf<LooseItemProp>& LooseItemPropList()
{
    static PtrListOf<LooseItemProp> list;
    return list;
}

std::uint32_t LooseItemProp::Parse(MapObject* carrier, const char* line)
{
    object = carrier;
    const char* text = line ? line : "";
    text += std::strspn(text, " \n");
    text += std::strcspn(text, " \n"); // the keyword
    text += std::strspn(text, " ");
    std::snprintf(itemName, sizeof itemName, "%.*s", int(std::strcspn(text, "\r\n")), text);
    if (!itemName[0])
        return PropOneShot;
    const MissionState* mission = MissionState::Instance();
    if (!mission->findItemDefinition || !mission->findItemDefinition(itemName)) {
        const LibraryObject* library = carrier ? carrier->GetLibraryEntry() : nullptr;
        if (Device* device = Application::Instance()->GetDevice())
            device->Log("Couldn't find item %s, on object %s", itemName,
                        library && library->entry ? library->entry->objectName : "");
        return PropOneShot;
    }
    if (carrier)
        carrier->hidden = true;
    LooseItemPropList().AddHead(this);
    return GetFlags();
}

void LooseItemProp::Detach(MapObject*)
{
    LooseItemPropList().Remove(this);
}

Prop* LooseItemPropFactory()
{
    return MakeArenaProp<LooseItemProp>(&LooseItemPropFactory);
}

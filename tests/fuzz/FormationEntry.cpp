#include "tests/fuzz/ReaderEntries.h"

#include <cmath>
#include <string_view>
#include <vector>

#include "characters/ai/Formation.h"

namespace readers {

std::string ReadFormationBytes(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<FormationSlot> slots;
    const char* why = nullptr;
    if (!FormationDefinition::ParseSlots(text, "GameData/Formations/fuzz.for", slots, why)) {
        if (!why || !why[0])
            return "a refused formation gives no reason";
        if (!slots.empty())
            return "a refused formation left slots";
        return {};
    }
    if (slots.empty() || slots.size() > std::size_t(FormationDefinition::kMaxSlots))
        return "the slot count is out of range";
    for (const FormationSlot& slot : slots)
        for (float value : {slot.side, slot.forward, slot.value3, slot.value4, slot.value5})
            if (!std::isfinite(value) || std::fabs(value) > FormationDefinition::kMaxNumber)
                return "a slot number is not finite or beyond its bound";
    return {};
}

} // namespace readers

#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/core/PtrList.h"
#include "world/props/Prop.h"

class CarriedItem;
class MapObject;
class Sound3D;

// "minefield" <radius> [number]: a mine field laid where the object stands; number 0 hides its
// mines. A radius that is missing, not a number, negative or beyond any map drops the prop.
class MinefieldProp : public Prop {
public:
    std::uint32_t Parse(MapObject* object, const char* line) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropMarker; }

    float x = 0.0f, y = 0.0f, z = 0.0f;
    float radius = 0.0f;
    std::int32_t number = 1;
};

Prop* MinefieldPropFactory();
PtrListOf<MinefieldProp>& MinefieldPropList();

// The level's mine fields: one "Mine Field" item for each prop, placed and sized by it, added to
// the world items. A field that cannot be made is logged and skipped; the count laid.
int LayMapMineFields(std::vector<CarriedItem*>& worldItems);

// "explosion" <effects> <minimum delay> <maximum delay> <damage> <radius> [trigger number] [sound]
// [sound minimum] [sound maximum]: the object blows up again and again, after a random whole
// number of seconds between the delays, unless its trigger has fired. <effects> is one effect file
// or the count of the files that follow (capped at the files present).
class ExplosionProp : public Prop {
public:
    static constexpr int MaxEffects = 8;
    ~ExplosionProp() override;

    std::uint32_t Parse(MapObject* object, const char* line) override;
    void Update(MapObject* object, float dt) override;
    void Detach(MapObject* object) override;
    std::uint32_t GetFlags() override { return PropUpdate; }

    std::vector<std::string> effects;
    int minimumDelay = 0, maximumDelay = 0;
    int damage = 0;
    float radius = 0.0f;
    int triggerNumber = -1;
    float countdown = 0.0f;
    float soundMinimum = 200.0f, soundMaximum = 0.0f;
    std::unique_ptr<Sound3D> sound;
    int soundHandle = -1;

private:
    void DrawCountdown();
};

Prop* ExplosionPropFactory();

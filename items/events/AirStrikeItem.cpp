#include "items/events/AirStrikeItem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include "app/framework/Application.h"
#include "characters/body/Character.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/level/RunningLevel.h"
#include "items/DefinitionLines.h"
#include "engine/core/EngineLog.h"
#include "engine/font/BitmapFont.h"
#include "engine/sprite/Sprite.h"
#include "engine/core/RandomMT.h"
#include "engine/core/q3DError.h"
#include "engine/serial/SaveStream.h"
#include "items/ItemDefinition.h"
#include "items/ItemServices.h"
#include "items/events/AirStrike.h"
#include "items/events/ScheduledEvent.h"
#include "items/projectiles/Flight.h"
#include "media/Sound3D.h"
#include "world/PickResult.h"
#include "world/World.h"

namespace {

constexpr int kFixedLines = 6;   // bone, held model, radio, chatter, refusal, variant count
constexpr int kTrailingLines = 15; // bomber model .. campaign allowance
constexpr int kMaxVariants = 3;

float FloatLine(const std::string& text, const char* path, const char* what)
{
    const float value = float(std::atof(text.c_str()));
    if (std::isfinite(value))
        return value;
    LogToEngine("%s: the airstrike %s %s is not a number; 0 is used", path, what, text.c_str());
    return 0.0f;
}

std::int32_t IntLine(const std::string& text) { return std::int32_t(std::strtol(text.c_str(), nullptr, 10)); }

void CopyName(char (&field)[AirStrikeOrder::kNameSize], const std::string& text)
{
    CopyBounded(field, text);
}

} // namespace

int AirStrikeRadioLineCount(const std::string& variantLine)
{
    const int variants = std::clamp(IntLine(variantLine), 1, kMaxVariants);
    return kFixedLines + 2 * variants + kTrailingLines;
}

AirStrikeRadioLines ReadAirStrikeRadioLines(const std::vector<std::string>& text, const char* path)
{
    AirStrikeRadioLines read;
    const auto line = [&](std::size_t index) -> const std::string& {
        static const std::string empty;
        return index < text.size() ? text[index] : empty;
    };
    read.boneName = line(0).substr(0, 31);
    read.heldModel = line(1);
    read.radioSound = line(2);
    read.chatterSound = line(3);
    read.refusalSound = line(4);
    const int variants = std::clamp(IntLine(line(5)), 1, kMaxVariants);
    std::size_t at = kFixedLines;
    for (int i = 0; i < variants; ++i)
        read.explosionSounds.push_back(line(at++));
    for (int i = 0; i < variants; ++i)
        read.explosionEffects.push_back(line(at++));
    read.bomberModel = line(at++);
    read.modelScale = FloatLine(line(at++), path, "model scale");
    read.flightSound = line(at++);
    read.markerModel = line(at++);
    read.markerScale = FloatLine(line(at++), path, "marker scale");
    read.delay = std::max(FloatLine(line(at++), path, "delay"), 0.0f);
    const float height = FloatLine(line(at++), path, "flight height");
    read.flightHeight = height > 0.0f ? height : 0.001f;
    const float duration = FloatLine(line(at++), path, "flight duration");
    read.duration = duration > 0.0f ? duration : 0.001f;
    read.damage = std::max(IntLine(line(at++)), 0);
    read.radius = std::max(IntLine(line(at++)), 0);
    read.aimDistance = std::max(IntLine(line(at++)), 0);
    read.pattern = ::strcasecmp(line(at++).c_str(), "NAPALM") == 0 ? 0 : 1;
    read.bombCount = std::clamp(IntLine(line(at++)), 1, AirStrikeOrder::kMaxBombs);
    read.interval = std::max(FloatLine(line(at++), path, "bomb interval"), 0.001f);
    read.campaignAllowance = IntLine(line(at++));
    return read;
}

AirStrikeItem::AirStrikeItem(const ItemDefinition& definition) { ReadDefinition(definition); }

AirStrikeItem::~AirStrikeItem() = default;

void AirStrikeItem::ReadDefinition(const ItemDefinition& definition)
{
    Item::ReadDefinition(definition);
    strikesLeft = definition.unitCount;
    const auto head = ReadDefinitionLines(definition, definition.classDataOffset, kFixedLines);
    const auto text = ReadDefinitionLines(definition, definition.classDataOffset, AirStrikeRadioLineCount(head[5]));
    lines = ReadAirStrikeRadioLines(text, definition.path);
    CopyBounded(boneName, lines.boneName);
    if (!lines.heldModel.empty() && lines.heldModel != "-")
        LoadHeldModel(lines.heldModel.c_str());
}

void AirStrikeItem::DrawIcon(Device* device)
{
    Item::DrawIcon(device);
    if (!device || !icon)
        return;
    if (BitmapFont* font = Application::Instance()->GetFont(Application::Arial)) {
        char text[16];
        std::snprintf(text, sizeof text, "%d", std::max(strikesLeft, 0));
        font->DrawText(device, int(icon->x) + 4, int(icon->y) + 4, 0.8f, text);
    }
}

void AirStrikeItem::PlayRadio(std::unique_ptr<Sound3D>& sound, int& handle, const std::string& path)
{
    if (!owner || path.empty() || path == "-")
        return;
    if (!sound) {
        auto made = std::make_unique<Sound3D>();
        if (made->Create(Application::Instance()->GetSoundSystem(), path.c_str()) < 0)
            throw q3DError("Can't load %s: %s", path.c_str(), "the sound could not be read");
        made->SetDistances(ProjectileReach(1000.0f), 100.0f, Sound::NoPlay);
        sound = std::move(made);
    }
    sound->SetPosition(owner->position.x, owner->position.y, owner->position.z, Sound::NoPlay);
    handle = sound->Play();
}

void AirStrikeItem::Select()
{
    if (ScheduledEventList::Count() > 0) {
        Application::Instance()->ShowMessage(3000, "Can't call another air strike while one is in progress.");
        if (owner)
            owner->SelectItemByID(previousItemID);
        return;
    }
    Item::Select();
    PlayRadio(radioSound, radioHandle, lines.radioSound);
    Application::Instance()->ShowMessage(3000, "Click on the location where you want the air strike to hit");
}

bool AirStrikeItem::BeginUse(bool)
{
    CallStrike();
    return false;
}

Vector3 AirStrikeItem::AimPoint() const
{
    World* world = World::Current();
    const float far = ProjectileReach(1000.0f);
    HitResult ray;
    PickResult hit;
    if (world && LevelItemServices().CenterRay(ray.origin, ray.direction) &&
        world->Pick(ray, &hit, far, nullptr) && hit.distance < far)
        return hit.hitPoint;
    Vector3 facing = owner ? Vector3(owner->rotation.m[6], 0.0f, owner->rotation.m[8]) : Vector3(0.0f, 0.0f, 1.0f);
    if (facing.LengthSquared() > 0.0f)
        facing.Normalize();
    Vector3 at = (owner ? owner->position : Vector3()) + facing * float(lines.aimDistance);
    if (world) {
        PickResult below;
        const float ground = world->GetGroundBelow(Vector3(at.x, 10000.0f, at.z), &below, nullptr);
        if (std::isfinite(ground) && ground < 1.0e30f)
            at.y = ground;
    }
    return at;
}

AirStrikeOrder AirStrikeItem::BuildOrder(const Vector3& target, const Vector3& from, Vector3 facing, float extent,
                                         int variant)
{
    AirStrikeOrder order;
    order.callerID = owner ? std::uint16_t(owner->GetID()) : 0xFFFF;
    order.radioID = std::uint16_t(GetID());
    order.damage = lines.damage;
    order.radius = lines.radius;
    order.target = target;
    facing.y = 0.0f;
    if (facing.LengthSquared() > 0.0f)
        facing.Normalize();
    const float height = std::max(target.y, from.y) + lines.flightHeight;
    order.flightStart = from - facing * (extent * 1.1f);
    order.flightEnd = from + facing * (extent * 1.1f);
    order.flightStart.y = order.flightEnd.y = height;
    order.duration = lines.duration;
    order.modelScale = lines.modelScale;
    order.markerScale = lines.markerScale;
    order.delay = lines.delay;
    order.interval = lines.interval;
    order.bombCount = lines.bombCount;
    order.pattern = lines.pattern;
    const std::size_t r = std::min<std::size_t>(std::size_t(std::max(variant, 0)), lines.explosionSounds.size() - 1);
    CopyName(order.flightSound, lines.flightSound);
    CopyName(order.bombSound, lines.explosionSounds[r]);
    CopyName(order.bombEffect, lines.explosionEffects[r]);
    CopyName(order.bomberModel, lines.bomberModel);
    CopyName(order.markerModel, lines.markerModel);
    CopyName(order.chatterSound, lines.chatterSound);
    order.Clamp();
    return order;
}

bool AirStrikeItem::CallStrike()
{
    if (!owner)
        return false;
    // Outside a campaign the radio's own count is the allowance.
    if (strikesLeft < 1) {
        if (!RunningLevel::Scene().IsNetworkGame()) {
            Application::Instance()->ShowMessage(3000, "No airstrikes remaining");
            PlayRadio(refusalSound, refusalHandle, lines.refusalSound);
        }
        return false;
    }
    --strikesLeft;

    World* world = World::Current();
    const float extent = world ? float(std::max(world->width, world->height)) * world->cellSize : 1000.0f;
    const Vector3 facing(owner->rotation.m[6], 0.0f, owner->rotation.m[8]);
    const int variant = int(randomMT() % std::uint32_t(lines.explosionSounds.size()));
    const AirStrikeOrder order = BuildOrder(AimPoint(), owner->position, facing, extent, variant);
    // The other machines hear of it when the network carries orders; this one flies it now.
    AirStrike::Create(order);

    if (IsNetworkClientConnected())
        LevelItemServices().SendSelectItem(owner->GetID(), previousItemID);
    owner->SelectItemByID(previousItemID);
    return true;
}

void AirStrikeItem::Save(SaveStream* stream) { stream->WriteInt32(strikesLeft); }

void AirStrikeItem::Load(SaveStream* stream)
{
    // A negative count is what a single-player fallback may leave; any value is a count.
    strikesLeft = stream->ReadInt32();
}

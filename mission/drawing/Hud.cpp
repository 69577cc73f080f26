#include "mission/drawing/Hud.h"

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/ai/AI.h"
#include "characters/objects/CarriedItem.h"
#include "characters/body/Character.h"
#include "characters/player/Player.h"
#include "engine/camera/Camera.h"
#include "engine/core/RenderTypes.h"
#include "engine/font/BitmapFont.h"
#include "engine/material/Material.h"
#include "engine/material/VertexLayout.h"
#include "engine/sprite/Sprite.h"
#include "items/Item.h"
#include "items/WeaponItem.h"
#include "mission/drawing/HudCommandHelp.h"
#include "mission/MissionState.h"
#include "mission/drawing/Scoreboard.h"
#include "renderer/Device.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

constexpr int CharacterSheetKey = 0xC0;
constexpr int PlayerSlots = 32;
constexpr int AccuracyIndicatorsOption = 6;
constexpr int SkillCount = 10;
constexpr const char* SkillNames[SkillCount] = {"Hand-To-Hand", "Sidearms", "Small Arms", "Heavy Weapons", "Grenades",
                                                "Explosives", "Fieldcraft", "Toughness", "Infiltration", "Medicine"};

struct LineVertex {
    float x, y, z, rhw;
    std::uint32_t colour;
    float u, v;
};
static_assert(sizeof(LineVertex) == 28);

// The level's interface sprite made from the image of that file name (the n-th when the loader
// made several), null when the loader could not make it.
Sprite* FindHudSprite(const std::vector<std::unique_ptr<Sprite>>& sprites, const char* fileName, int occurrence = 0)
{
    const std::size_t length = std::strlen(fileName);
    for (const std::unique_ptr<Sprite>& sprite : sprites) {
        D3DBitmap* texture = sprite->material.texture[0];
        const char* name = texture ? texture->GetName() : nullptr;
        if (!name)
            continue;
        const std::size_t nameLength = std::strlen(name);
        if (nameLength >= length && strcasecmp(name + nameLength - length, fileName) == 0 &&
            (nameLength == length || name[nameLength - length - 1] == '/' || name[nameLength - length - 1] == '\\') &&
            occurrence-- == 0)
            return sprite.get();
    }
    return nullptr;
}

void DrawSpriteAt(Device* device, Sprite* sprite, int x, int y)
{
    if (!sprite)
        return;
    sprite->x = x;
    sprite->y = y;
    sprite->Draw(device);
}

// What taking the loose item would do for the character: magazines for a weapon it carries,
// a place in its weapon slot, or a place among its items.
Hud::ItemOffer OfferFor(CarriedItem* item, Character* character)
{
    constexpr std::size_t mostItemsCarried = 8;
    if (item->IsWeapon())
        if (CarriedItem* carried = character->FindItemByName(item->name); carried && carried != item) {
            auto* own = dynamic_cast<WeaponItem*>(carried);
            if (!own)
                return Hud::ItemOffer::Nothing;
            if (own->GetMagazines() >= own->GetMaxMagazines())
                return Hud::ItemOffer::AmmunitionFull;
            return item->GetMagazines() > 0 ? Hud::ItemOffer::Ammunition : Hud::ItemOffer::NoAmmunition;
        }
    const int slot = item->GetSlotKind();
    if (item->IsWeapon() && (slot == 0 || slot == 1))
        return (slot == 0 ? character->GetPrimaryWeapon() : character->GetSecondaryWeapon()) ? Hud::ItemOffer::Swap
                                                                                              : Hud::ItemOffer::Take;
    return character->GetInventory().size() < mostItemsCarried ? Hud::ItemOffer::Take : Hud::ItemOffer::Nothing;
}

// What every step of the HUD's drawing reads: the device, the picture's size, the fonts and the
// controlled character.
struct HudFrame {
    Application* application;
    Device* device;
    int width, height;
    BitmapFont* courier;
    BitmapFont* courierMedium;
    Character* controlled;
};

// The scoreboard of a network game, while its key is held.
void DrawScoreboard(MissionState& mission, const HudFrame& frame, bool hosting, bool connected)
{
    Application* application = frame.application;
    ScoreboardData data;
    data.hosting = hosting;
    data.connected = connected;
    data.teamCount = mission.GetNumTeams();
    data.timeLimitSeconds = mission.GetSettingsTimeLimit() * 60;
    data.gameClockSeconds = mission.level.gameClock;
    data.scoreLimit = mission.GetScoreLimit();
    data.gamesPerMap = mission.GetRoundsPerMap();
    for (int slot = 0; slot < PlayerSlots; ++slot) {
        if (!application->IsPlayerSlotInUse(slot))
            continue;
        data.rows.push_back({slot, application->GetPlayerName(slot) ? application->GetPlayerName(slot) : "",
                             mission.GetSquadLives(slot), mission.roster.teams[slot], mission.GetKills(slot), mission.GetDeaths(slot), 0});
        data.hasTopScore = true;
    }
    data.topScore = data.hasTopScore ? mission.GetTopScore() : 0;
    for (int team = 1; team <= data.teamCount; ++team)
        data.teams.push_back({team, mission.CountSquadsPerTeam(team)});
    Scoreboard::Draw(frame.device, frame.courier, data);
}

// Accuracy marks, and the side the last shot came from.
void DrawAccuracyMarks(MissionState& mission, const HudFrame& frame, float frameTime)
{
    Application* application = frame.application;
    Character* controlled = frame.controlled;
    const int width = frame.width, height = frame.height;
    if (controlled) {
        if (controlled->lastHitDirection.x != mission.hud.lastIncomingDirection.x ||
            controlled->lastHitDirection.z != mission.hud.lastIncomingDirection.z) {
            mission.hud.lastIncomingDirection = controlled->lastHitDirection;
            mission.hud.incomingFireSide =
                mission.level.camera ? Hud::IncomingSide(mission.hud.lastIncomingDirection, Vector3(mission.level.camera->world.m[8], 0.0f, mission.level.camera->world.m[10])) : -1;
            mission.hud.incomingFireTimer = Hud::IncomingFireSeconds;
        }
        mission.hud.incomingFireTimer = std::max(0.0f, mission.hud.incomingFireTimer - frameTime);
        if (mission.hud.incomingFireTimer <= 0.0f)
            mission.hud.incomingFireSide = -1;
    }
    if (mission.hud.hudDisplayFlags[0] && !mission.roster.spectating && controlled && application->GetState() == &mission && mission.hud.crosshairShown) {
        const Options* options = Options::Instance();
        const bool indicators = !options || options->GetOption(AccuracyIndicatorsOption) != 0;
        float points[20][2];
        std::uint32_t colours[20];
        const int count = Hud::AccuracyMarks(width, height, Hud::AccuracyDistance(controlled->steadiness, indicators),
                                             mission.hud.incomingFireSide, points, colours);
        Hud::DrawLines(frame.device, points, colours, count);
    }
}

// Squad panel: a row per member down the right edge, its state, damage and posture; the
// controlled member framed.
void DrawSquadPanel(MissionState& mission, const HudFrame& frame)
{
    if (!mission.roster.localSquad)
        return;
    Device* device = frame.device;
    const int width = frame.width;
    Character* controlled = frame.controlled;
    BitmapFont* courierMedium = frame.courierMedium;
    Sprite* dead = FindHudSprite(mission.hud.hudSprites, "dead.tga");
    Sprite* following = FindHudSprite(mission.hud.hudSprites, "pathfollow.tga");
    Sprite* inVehicle = FindHudSprite(mission.hud.hudSprites, "inVehicle.tga");
    Sprite* selector = FindHudSprite(mission.hud.hudSprites, "selector.tga");
    Sprite* damage = FindHudSprite(mission.hud.hudSprites, "damage.tga");
    for (int i = 0; i < mission.GetSquadSize(mission.roster.localSquad); ++i) {
        Player* member = mission.GetSquadMember(i, mission.roster.localSquad);
        if (!member)
            continue;
        const int y = Hud::PanelTop + i * Hud::PanelRowHeight;
        const bool alive = member->health > 0;
        Sprite* state = !alive ? dead : (mission.ridingVehicleObject && mission.ridingVehicleObject(member)) ? inVehicle : following;
        if (state) {
            const float alpha = state->alpha;
            if (!member->IsTargetable())
                state->alpha = alpha * 0.4f;
            DrawSpriteAt(device, state, width - Hud::PanelIconWidth, y);
            state->alpha = alpha;
        }
        if (damage && alive && member->health < 100) {
            const int full = state ? state->GetDrawnTextureHeight() : 32;
            damage->height = full * (100 - member->health) / 100;
            DrawSpriteAt(device, damage, width - Hud::PanelIconWidth, y);
            damage->height = -1;
        }
        if (selector && member == controlled)
            DrawSpriteAt(device, selector, width - Hud::PanelIconWidth - 1, y - 1);
        if (courierMedium && alive) {
            const char* posture = Hud::PostureName(member->posture);
            const int textWidth = int(float(courierMedium->GetTextWidth(posture)) * 0.6f);
            courierMedium->DrawText(device, width - Hud::PanelIconWidth - 6 - textWidth, y + 10, 0.6f, posture);
        }
    }
}

// Health, and the held item with its icon and its own figures (ammunition, grenades).
void DrawHealthAndItem(MissionState& mission, const HudFrame& frame)
{
    Device* device = frame.device;
    const int width = frame.width, height = frame.height;
    Character* controlled = frame.controlled;
    if (Sprite* health = FindHudSprite(mission.hud.hudSprites, "health.tga")) {
        const int full = health->width;
        health->width = health->GetDrawnTextureWidth() * std::clamp(controlled->health, 0, 100) / 100;
        health->Draw(device);
        health->width = full;
    }
    if (BitmapFont* arial = frame.application->GetFont(Application::Arial))
        arial->DrawTextScaledf(device, mission.hud.healthTextX, height - 30, 0.8f, "%d", std::max(0, controlled->health));
    Sprite* box = FindHudSprite(mission.hud.hudSprites, "item.tga");
    if (box)
        DrawSpriteAt(device, box, width - Hud::ItemBoxRight, height - Hud::ItemBoxBottom);
    if (Item* held = dynamic_cast<Item*>(controlled->GetHeldItem())) {
        if (Sprite* icon = held->GetIcon()) {
            icon->x = width - Hud::ItemBoxRight + Hud::ItemIconInset;
            icon->y = height - Hud::ItemBoxBottom + Hud::ItemIconInset;
        }
        held->DrawIcon(device);
        held->DrawHUD(device);
    }
}

// The character sheet while its key is held: the controlled member's name, health and skills.
void DrawCharacterSheet(MissionState& mission, const HudFrame& frame)
{
    Device* device = frame.device;
    Character* controlled = frame.controlled;
    BitmapFont* courierMedium = frame.courierMedium;
    if (Sprite* backdrop = mission.hud.screenOverlay) {
        const int w = backdrop->width, h = backdrop->height;
        backdrop->width = 142, backdrop->height = 212;
        DrawSpriteAt(device, backdrop, 0, 0);
        backdrop->width = w, backdrop->height = h;
    }
    int entry = 0;
    for (int i = 0; i < mission.GetSquadSize(mission.roster.localSquad); ++i)
        if (mission.GetSquadMember(i, mission.roster.localSquad) == controlled)
            entry = std::min(i, MissionState::NameEntryCount - 1);
    courierMedium->DrawText(device, 0, 0, 0.7f, mission.level.nameEntries[entry]);
    courierMedium->DrawTextScaledf(device, 0, 17, 0.7f, "Health: %d", controlled->health);
    for (int skill = 0; skill < SkillCount; ++skill) {
        const int y = 34 + skill * 17;
        courierMedium->DrawText(device, 0, y, 0.7f, SkillNames[skill]);
        AI* soldier = dynamic_cast<AI*>(controlled);
        courierMedium->DrawTextScaledf(device, 120, y, 0.7f, "%.0f", double(soldier ? soldier->GetSkill(skill) : 0.0f));
    }
}

// The formation chooser over the item box: the highlighted formation's name and its points.
void DrawFormationChooser(MissionState& mission, const HudFrame& frame)
{
    Device* device = frame.device;
    const int width = frame.width, height = frame.height;
    BitmapFont* courier = frame.courier;
    const FormationIcon& icon = mission.hud.formationIcons[mission.controls.formationDisplayIndex];
    if (Sprite* backdrop = FindHudSprite(mission.hud.hudSprites, "formation.tga")) {
        const int x = width - Hud::FormationChooserRight - backdrop->GetDrawnTextureWidth();
        const int y = height - Hud::ItemBoxBottom - Hud::FormationChooserGap - backdrop->GetDrawnTextureHeight();
        DrawSpriteAt(device, backdrop, x, y);
        if (courier) {
            const bool current = mission.controls.formationDisplayIndex == mission.hud.currentFormation;
            courier->red = 1.0f, courier->green = 1.0f, courier->blue = current ? 1.0f : 0.3f;
            courier->DrawText(device, x + 6, y + 4, 1.0f, icon.name);
            courier->red = courier->green = courier->blue = 1.0f;
        }
        if (Sprite* dot = FindHudSprite(mission.hud.hudSprites, "formationDot.tga"))
            for (int p = 0; p < std::min(icon.pointCount, FormationIcon::MaximumPoints); ++p)
                DrawSpriteAt(device, dot, x + icon.points[p][0], y + icon.points[p][1]);
    }
}

// The item panel: the controlled character's items with the pending one marked.
void DrawItemPanel(MissionState& mission, const HudFrame& frame)
{
    Device* device = frame.device;
    const int width = frame.width;
    Character* controlled = frame.controlled;
    Sprite* left = FindHudSprite(mission.hud.hudSprites, "itemSelLeft.tga");
    Sprite* right = FindHudSprite(mission.hud.hudSprites, "itemSelRight.tga");
    int y = Hud::PanelTop + 4 * Hud::PanelRowHeight + 8;
    const int x = width - Hud::PanelIconWidth - 8 - Hud::ItemIconWidth - 40;
    for (CarriedItem* carried : controlled->GetInventory()) {
        Item* item = dynamic_cast<Item*>(carried);
        Sprite* icon = item ? item->GetIcon() : nullptr;
        if (!icon)
            continue;
        DrawSpriteAt(device, icon, x, y);
        if (carried == mission.controls.pendingItem) {
            DrawSpriteAt(device, left, x - 34, y + icon->GetDrawnTextureHeight() / 2 - 32);
            DrawSpriteAt(device, right, x + icon->GetDrawnTextureWidth() + 2, y + icon->GetDrawnTextureHeight() / 2 - 32);
        }
        y += icon->GetDrawnTextureHeight() + 4;
    }
}

} // namespace

// ------------------------------------------------------------------------------------------------
// Hud

const char* Hud::PostureName(int posture)
{
    switch (posture) {
    case Character::Prone: return "Prone";
    case Character::Crouching: return "Crouch";
    default: return "Standing";
    }
}

std::string Hud::ItemLabel(const char* name, ItemOffer offer, bool near)
{
    const std::string item = name ? name : "";
    if (!near)
        return item;
    switch (offer) {
    case ItemOffer::Take: return "Get " + item;
    case ItemOffer::Ammunition: return "Get " + item + " Ammo";
    case ItemOffer::AmmunitionFull: return "Ammo Full";
    case ItemOffer::NoAmmunition: return item + " (No Ammo)";
    case ItemOffer::Swap: return "Swap with " + item;
    case ItemOffer::Nothing: break;
    }
    return item;
}

const char* Hud::EdgeWarning(float x, float z, const float rectangle[4])
{
    if (x - rectangle[0] < EdgeWarningDistance)
        return "Approaching Western area exit";
    if (rectangle[2] - x < EdgeWarningDistance)
        return "Approaching Eastern area exit";
    if (z - rectangle[1] < EdgeWarningDistance)
        return "Approaching Southern area exit";
    if (rectangle[3] - z < EdgeWarningDistance)
        return "Approaching Northern area exit";
    return nullptr;
}

float Hud::AccuracyDistance(float accuracy, bool indicatorsOn)
{
    if (!indicatorsOn)
        return FixedAccuracyDistance;
    return (1.0f - std::clamp(accuracy, 0.0f, 1.0f)) * AccuracyReach;
}

int Hud::IncomingSide(const Vector3& shotDirection, const Vector3& viewForward)
{
    // The shot came from where it travels away from.
    const float fromX = -shotDirection.x, fromZ = -shotDirection.z;
    float forwardX = viewForward.x, forwardZ = viewForward.z;
    const float fromLength = std::sqrt(fromX * fromX + fromZ * fromZ);
    const float forwardLength = std::sqrt(forwardX * forwardX + forwardZ * forwardZ);
    if (fromLength < 1e-6f || forwardLength < 1e-6f)
        return -1;
    forwardX /= forwardLength, forwardZ /= forwardLength;
    const float ahead = (fromX * forwardX + fromZ * forwardZ) / fromLength;
    // Right of the view in a left-handed world with y up: (forward.z, -forward.x).
    const float right = (fromX * forwardZ - fromZ * forwardX) / fromLength;
    if (std::fabs(ahead) >= std::fabs(right))
        return ahead >= 0.0f ? 0 : 2;
    return right >= 0.0f ? 1 : 3;
}

int Hud::AccuracyMarks(int renderWidth, int renderHeight, float distance, int markedSide, float (*points)[2],
                       std::uint32_t* colours)
{
    const float cx = float(renderWidth / 2), cy = float(renderHeight / 2);
    // Sides in screen terms: 0 above the centre, 1 right, 2 below, 3 left.
    static constexpr float directions[4][2] = {{0, -1}, {1, 0}, {0, 1}, {-1, 0}};
    int count = 0;
    auto line = [&](int side, float inner, std::uint32_t colour) {
        const float dx = directions[side][0], dy = directions[side][1];
        points[count][0] = cx + dx * inner, points[count][1] = cy + dy * inner;
        colours[count++] = colour;
        points[count][0] = cx + dx * (inner + AccuracyMarkLength), points[count][1] = cy + dy * (inner + AccuracyMarkLength);
        colours[count++] = colour;
    };
    for (int side = 0; side < 4; ++side) {
        if (side == markedSide) {
            // A second line beside the mark, one pixel further in along the side's normal.
            const float nx = directions[side][1], ny = directions[side][0];
            line(side, distance, IncomingFireColour);
            points[count][0] = points[count - 2][0] + nx, points[count][1] = points[count - 2][1] + ny;
            colours[count++] = IncomingFireColour;
            points[count][0] = points[count - 2][0] + nx, points[count][1] = points[count - 2][1] + ny;
            colours[count++] = IncomingFireColour;
        } else {
            line(side, distance, AccuracyColour);
        }
    }
    return count;
}

void Hud::DrawLines(Device* device, const float (*points)[2], const std::uint32_t* colours, int pointCount)
{
    if (!device || pointCount < 2)
        return;
    LineVertex vertices[32];
    pointCount = std::min(pointCount, 32) & ~1;
    for (int i = 0; i < pointCount; ++i)
        vertices[i] = LineVertex{points[i][0], points[i][1], 0.0f, 1.0f, colours[i], 0.0f, 0.0f};
    VertexLayout layout;
    layout.InitScreenTextured();
    Material material;
    material.SetBlendMode(13);
    material.lightingMode = 0;
    device->DrawUserPrimitives(PrimLineList, vertices, pointCount, &layout, nullptr, 0, &material);
}

// ------------------------------------------------------------------------------------------------
// MissionState

const char* MissionState::GetTeamName(int team)
{
    static constexpr const char* names[9] = {"MIA soldiers", "1st company", "2nd company", "3rd company", "4th company",
                                             "5th company",  "6th company", "7th company", "8th company"};
    return team >= 0 && team < 9 ? names[team] : "";
}

int MissionState::CountSquadsPerTeam(int team) const
{
    int count = 0;
    for (const std::unique_ptr<Squad>& each : roster.squads)
        count += each->team == team ? 1 : 0;
    return count;
}

int MissionState::HudItemColumn() const
{
    Device* device = Application::Instance()->GetDevice();
    const int width = device ? device->GetTargetWidth() : 800;
    return width - Hud::ItemBoxRight + Hud::ItemIconInset * 2 + Hud::ItemIconWidth;
}

void MissionState::DrawHUD()
{
    Application* application = Application::Instance();
    Device* device = application->GetDevice();
    if (!device)
        return;
    const HudFrame frame{application,
                         device,
                         device->GetTargetWidth(),
                         device->GetTargetHeight(),
                         application->GetFont(Application::Courier),
                         application->GetFont(Application::CourierMedium),
                         roster.controlledCharacter};
    const int width = frame.width, height = frame.height;
    const float frameTime = application->GetFrameTime();
    // The session is a network game only once a server runs or a client connects.
    const bool hosting = session.networkGame && session.server;
    const bool connected = session.networkGame && session.connect;
    BitmapFont* courier = frame.courier;
    Character* controlled = frame.controlled;

    // The game mode's texts and the new-map notices come from a network game's session, which
    // this machine never joins yet; the votes show their own status.
    DrawVoteStatus();

    if (hud.overheadMap)
        hud.overheadMap->Draw();

    if (controls.helpShown)
        HudCommandHelp::Draw(device, application->GetFont(Application::ArialSmall), courier, hosting, connected);

    if (controls.scoreboardShown && (hosting || connected))
        DrawScoreboard(*this, frame, hosting, connected);
    DrawAccuracyMarks(*this, frame, frameTime);

    // The label of the nearer of the character and the loose item under the crosshair.
    if (controlled && !roster.spectating && courier) {
        std::string label = ObjectLabel(controlled);
        if (!label.empty())
            courier->DrawText(device, (width - courier->GetTextWidth(label.c_str())) / 2, height / 2 + Hud::LabelOffset, 1.0f,
                              label.c_str());
    }

    DrawSquadPanel(*this, frame);
    if (controlled)
        DrawHealthAndItem(*this, frame);

    // The map's edge is a campaign mission's way out.
    if (controlled && !session.networkGame && campaignMissionFinished && !level.exitZones[0] && courier)
        if (const char* warning = Hud::EdgeWarning(controlled->position.x, controlled->position.z, level.playRectangle))
            courier->DrawText(device, (width - courier->GetTextWidth(warning)) / 2, height / 2 + 60, 1.0f, warning);

    // The character sheet while its key is held.
    if (controlled && !session.networkGame && application->GetKeyState(CharacterSheetKey) && frame.courierMedium)
        DrawCharacterSheet(*this, frame);
    if (controlled && hud.locationShown)
        application->ShowMessage(-1, "Your location is x=%.02f, y=%.02f, z=%.02f", double(controlled->position.x),
                                 double(controlled->position.y), double(controlled->position.z));

    // The formation chooser: shown while its timer runs, its choice made when the timer runs out.
    if (RunFormationChooser(frameTime))
        DrawFormationChooser(*this, frame);
    if (RunItemPanel(device->GetFrameTime() * 1000 / 1024) && controlled)
        DrawItemPanel(*this, frame);
}

bool MissionState::RunFormationChooser(float elapsed)
{
    if (controls.formationDisplay <= 0.0f || hud.formationIconCount <= 0)
        return false;
    controls.formationDisplayIndex = std::clamp(controls.formationDisplayIndex, 0, hud.formationIconCount - 1);
    controls.formationDisplay -= elapsed;
    if (controls.formationDisplay > 0.0f)
        return true;
    if (controls.formationDisplayIndex == hud.currentFormation)
        return false;
    hud.currentFormation = controls.formationDisplayIndex;
    const char* name = hud.formationIcons[hud.currentFormation].name;
    char file[FormationIcon::NameSize + 8];
    std::snprintf(file, sizeof file, "%s.for", name);
    if (AI* leader = roster.localSquad ? dynamic_cast<AI*>(roster.localSquad->GetLeader()) : nullptr)
        leader->ChangeFormation(file);
    Application* application = Application::Instance();
    application->ShowMessage(2000, "%s formation!", name);
    if (CountLivingMembers(roster.localSquad) > 1)
        application->ShowMessage(2500, "Sir yes Sir!");
    return false;
}

bool MissionState::RunItemPanel(int elapsedMilliseconds)
{
    Character* controlled = roster.controlledCharacter;
    if (controls.pendingItem && (!controlled || !controlled->OwnsItem(controls.pendingItem)))
        controls.pendingItem = nullptr;
    bool shown = false;
    if (controls.pendingItemDisplayTime > 0) {
        controls.pendingItemDisplayTime = std::max(0, controls.pendingItemDisplayTime - elapsedMilliseconds);
        shown = controls.pendingItem != nullptr && controls.pendingItemDisplayTime > 0;
    }
    if (!controls.pendingItem)
        return shown;
    controls.pendingItemDelay = std::max(0, controls.pendingItemDelay - elapsedMilliseconds);
    if (controls.pendingItemDelay > 0)
        return shown;
    controlled->SelectItem(controls.pendingItem);
    controls.pendingItem = nullptr;
    controls.pendingItemDisplayTime = 0;
    controls.switchPendingNow = false;
    return false;
}

std::string MissionState::ObjectLabel(Character* viewer)
{
    HitResult characterRay;
    if (!viewer || !GetCenterRay(characterRay))
        return "";
    HitResult itemRay = characterRay;
    Character* character = RayCastObjects(characterRay, viewer, 0x3E); // every kind, alive or dead
    CarriedItem* item = RayCastItems(itemRay);
    if (item && (!character || itemRay.distance < characterRay.distance)) {
        const bool near = itemRay.distance < Hud::LabelActionDistance;
        return Hud::ItemLabel(item->name, OfferFor(item, viewer), near);
    }
    if (!character || AreHostile(viewer, character))
        return "";
    std::string label = "Friendly Soldier";
    for (int i = 0; i < GetSquadSize(roster.localSquad); ++i)
        if (GetSquadMember(i, roster.localSquad) == character)
            label = level.nameEntries[std::min(i, NameEntryCount - 1)];
    if (character->health <= 0)
        label += " (KIA)";
    return label;
}

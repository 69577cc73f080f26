#include <cmath>
#include <cstring>

#include "app/framework/Application.h"
#include "app/framework/Options.h"
#include "characters/ai/AILevelView.h"
#include "characters/objects/CarriedItem.h"
#include "characters/ai/Formation.h"
#include "characters/level/LevelScene.h"
#include "characters/level/NetworkSession.h"
#include "characters/player/Player.h"
#include "characters/level/RunningLevel.h"
#include "characters/player/PlayerVoices.h"
#include "characters/level/RunningLevel.h"
#include "characters/ai/WaypointGraph.h"
#include "characters/ai/AIMissionServices.h"
#include "characters/player/SquadCommandView.h"
#include "characters/player/PlayerControls.h"
#include "characters/player/SquadRecords.h"
#include "characters/player/GameModeNotices.h"
#include "media/Sound2D.h"

namespace {

constexpr int kShiftKey = 0x10;
constexpr int kEscapeKey = 0x1B;
constexpr int kFirstMemberKey = 0x70; // F1
constexpr float kOrderReach = 120.0f;
constexpr float kPickedReach = 200.0f;
constexpr float kAttackReachSquared = 518400.0f; // 720 units

int ActionForKey(int key)
{
    const Options* options = Options::Instance();
    return options && key >= 0 && key < Options::KeyCount ? options->GetActionForKey(key) : -1;
}

bool IsActionKeyDown(int action)
{
    const Options* options = Options::Instance();
    const int key = options ? options->GetKeyForAction(action) : -1;
    return key > 0 && (Application::Instance()->GetKeyState(key) & 0x8000) != 0;
}

bool IsShiftDown() { return (Application::Instance()->GetKeyState(kShiftKey) & 0x8000) != 0; }

void Message(int ms, const char* format, const std::string& name)
{
    Application::Instance()->ShowMessage(ms, format, name.c_str());
}

float DistanceSquared(const Vector3& a, const Vector3& b) { return (a - b).LengthSquared(); }

int CountLivingMembers(const SquadRoster* roster)
{
    int living = 0;
    for (int i = 0; roster && i < roster->GetMemberCount(); ++i) {
        const Character* member = roster->GetMember(i);
        living += member && member->health > 0;
    }
    return living;
}

bool ItemLocked(const Character* soldier)
{
    const CarriedItem* held = soldier->GetHeldItem();
    return held && held->actionLock;
}

} // namespace

bool Player::CanIssueOrder()
{
    const CarriedItem* held = GetHeldItem();
    return CountLivingMembers(RunningLevel::Command().CurrentSquadRoster()) > 1 && health > 0 &&
           !(held && held->category == CarriedItem::Vehicle);
}

std::vector<Player*> Player::ChooseMembers(int action)
{
    std::vector<Player*> chosen;
    SquadRoster* roster = RunningLevel::Command().CurrentSquadRoster();
    Character* picked = RunningLevel::Command().CharacterUnderCrosshair(SquadKind);
    const bool modifier = IsActionKeyDown(26);
    const bool movement = action == 21 || action == 22;
    for (int i = 0; roster && i < roster->GetMemberCount(); ++i) {
        Player* member = AsPlayer(roster->GetMember(i));
        if (!member || member->health <= 0)
            continue;
        const float d = DistanceSquared(member->position, position);
        if (movement) {
            const float reach = modifier && member == picked ? kPickedReach : kOrderReach;
            if (d < reach * reach && (!modifier || member == picked))
                chosen.push_back(member);
        } else if ((d < kOrderReach * kOrderReach && !modifier) || member == picked) {
            chosen.push_back(member);
        }
    }
    return chosen;
}

void Player::OrderHold(Player* member, bool message)
{
    if (member != RunningLevel::Scene().CurrentPlayer())
        member->LeaveFormation();
    member->order = OrderHoldPosition;
    member->SetOrder(OrderHoldPosition);
    if (message)
        Message(2000, "%s: Holding position", RunningLevel::Records().PlayerName(member->squadSlot));
}

void Player::OrderFollowMe(Player* member, bool message)
{
    member->order = OrderFollow;
    member->SetOrder(OrderFollow);
    Character* current = RunningLevel::Scene().CurrentPlayer();
    if (!member->formationLink && member != current) {
        if (auto* leader = dynamic_cast<AI*>(current))
            member->JoinFormationOf(leader);
    }
    if (message)
        Message(2000, "%s: Following", RunningLevel::Records().PlayerName(member->squadSlot));
}

void Player::OrderAttack(Player* member, Character* targetCharacter, int messageMs, bool rangeMessage)
{
    member->fireMode = AttackOrderedTarget;
    member->SetTarget(targetCharacter, 10000.0f, true);
    const float d = DistanceSquared(targetCharacter->position, member->position);
    if (rangeMessage && d >= member->GetWeaponRangeSquared())
        Message(messageMs, "%s: Target out of weapon range", RunningLevel::Records().PlayerName(member->squadSlot));
    else
        Message(messageMs, "%s: Attacking your target", RunningLevel::Records().PlayerName(member->squadSlot));
}

bool Player::HandleAction(int action)
{
    const int set = GetVoiceSet();
    switch (action) {
    case 19:
        if (viewMode == 1)
            zoomed = zoomed ? 0 : 1;
        return true;
    case 20:
        ChangeActivePlayer();
        return true;
    case 21:
    case 22:
    case 23:
    case 24: {
        if (!CanIssueOrder())
            return true;
        static constexpr int kCategories[] = {PlayerVoices::HoldPos, PlayerVoices::Follow, PlayerVoices::HoldFire,
                                              PlayerVoices::FireAtWill};
        Sound2D* voice = PlayerVoices::Pick2D(kCategories[action - 21], set);
        if (action == 22) {
            if (auto* current = dynamic_cast<AI*>(RunningLevel::Scene().CurrentPlayer());
                current && current->formationLink && current->formationLink->formation)
                current->formationLink->formation->holdPositions = 0;
        }
        for (Player* member : ChooseMembers(action)) {
            if (action == 21) {
                OrderHold(member, true);
            } else if (action == 22) {
                OrderFollowMe(member, true);
            } else if (action == 23) {
                member->fireMode = HoldFire;
                Message(2000, "%s: Holding fire", RunningLevel::Records().PlayerName(member->squadSlot));
            } else {
                member->fireMode = FireAtWill;
                Message(2000, "%s: Firing at will", RunningLevel::Records().PlayerName(member->squadSlot));
            }
        }
        PlayOrderVoice(voice);
        return true;
    }
    case 25: {
        if (!CanIssueOrder())
            return true;
        Sound2D* voice = PlayerVoices::Pick2D(PlayerVoices::Attack, set);
        Character* picked = RunningLevel::Command().CharacterUnderCrosshair(EnemyKind);
        if (!picked) {
            Application::Instance()->ShowMessageText(2000, "Sir! I see nothing to attack, Sir!");
        } else if (picked->health <= 0) {
            Application::Instance()->ShowMessageText(2000, "Sir! He is already dead, Sir!");
        } else if (SquadRoster* roster = RunningLevel::Command().CurrentSquadRoster()) {
            for (int i = 0; i < roster->GetMemberCount(); ++i) {
                Player* member = AsPlayer(roster->GetMember(i));
                if (member && member->health > 0 && DistanceSquared(member->position, position) < kAttackReachSquared)
                    OrderAttack(member, picked, 3000, true);
            }
        }
        PlayOrderVoice(voice);
        return true;
    }
    case 27: {
        if (!CanIssueOrder())
            return true;
        Vector3 point;
        Character* picked = nullptr;
        const int kindHit = RunningLevel::Command().PickMoveTarget(&point, &picked);
        Character* current = RunningLevel::Scene().CurrentPlayer();
        SquadRoster* roster = RunningLevel::Command().CurrentSquadRoster();
        if (kindHit == 1 && picked && picked->kind == SquadKind) {
            Player* soldier = AsPlayer(picked);
            if (soldier && soldier->order == OrderHoldPosition) {
                Sound2D* follow = PlayerVoices::Pick2D(PlayerVoices::Follow, set);
                if (soldier != current) {
                    if (auto* leader = dynamic_cast<AI*>(current))
                        soldier->JoinFormationOf(leader);
                }
                PlayOrderVoice(follow);
                return true;
            }
            if (soldier)
                OrderHold(soldier, false);
        } else if (kindHit == 1 && picked) {
            if (picked->health > 0) {
                for (int i = 0; roster && i < roster->GetMemberCount(); ++i) {
                    Player* member = AsPlayer(roster->GetMember(i));
                    if (member && member->health > 0 && member->order != OrderHoldPosition &&
                        member->target.rating < 10000.0f && member != current &&
                        DistanceSquared(member->position, position) < kAttackReachSquared)
                        OrderAttack(member, picked, 2000, false);
                }
            } else {
                Application::Instance()->ShowMessageText(2000, "Sir! He is already dead, Sir!");
            }
        } else if (kindHit == 2) {
            Application::Instance()->ShowMessageText(1000, "TODO - item on the ground");
        } else if (kindHit == 3) {
            Vector3 marker;
            const bool cancel = RunningLevel::Command().GetGroundMarker(&marker) && DistanceSquared(point, marker) < 9.0f;
            for (int i = 0; roster && i < roster->GetMemberCount(); ++i) {
                Player* member = AsPlayer(roster->GetMember(i));
                if (!member || member->health <= 0 || member == current)
                    continue;
                if (cancel) {
                    member->SetOrder(OrderFollow);
                    Application::Instance()->ShowMessageText(1000, "Cancelling move to");
                } else if (member->order != OrderHoldPosition &&
                           DistanceSquared(member->position, point) < kAttackReachSquared) {
                    member->OrderMoveTo(point);
                }
            }
        }
        PlayOrderVoice(PlayerVoices::Pick2D(PlayerVoices::Attack, set));
        return true;
    }
    case 30:
        // Zoomed in, the key is not the command mode's: it goes on to the held item (the
        // scope's night vision).
        if (RunningLevel::Controls().CameraFieldOfView() != normalFieldOfView && viewMode != 2)
            return false;
        EnterOrLeaveCommandMode();
        return true;
    default:
        return false;
    }
}

void Player::ChangeActivePlayer()
{
    if (ItemLocked(this))
        return;
    SquadRoster* roster = RunningLevel::Command().CurrentSquadRoster();
    if (!roster || roster->GetMemberCount() <= 1)
        return;
    const int size = roster->GetMemberCount();
    int i = roster->IndexOf(RunningLevel::Scene().CurrentPlayer());
    if (i < 0)
        i = size;
    const int step = IsShiftDown() ? -1 : 1;
    int j = i + step;
    // At most one pass: without a current member the start is never reached again.
    for (int tries = 0; tries < size; ++tries, j += step) {
        if (j >= size)
            j = 0;
        if (j < 0)
            j = size - 1;
        if (j == i)
            return;
        const Character* member = roster->GetMember(j);
        if (member && member->health > 0 && !(member->roles & Ally)) {
            SwitchToSquadMember(j, roster, false);
            return;
        }
    }
}

void Player::EnterOrLeaveCommandMode()
{
    SquadRoster* roster = RunningLevel::Command().CurrentSquadRoster();
    if (!roster || roster->GetMemberCount() <= 1 || RunningLevel::Controls().CameraFieldOfView() != normalFieldOfView)
        return;
    Application* application = Application::Instance();
    if (viewMode == 2) {
        leavingCommandMode = 1;
        RunningLevel::Command().SetCommandView(false);
        application->ClearMessages();
        return;
    }
    previousViewMode = viewMode;
    viewMode = 2;
    RunningLevel::Command().SetCommandView(true);
    commandCameraHeight = 55.0f;
    if (squad) {
        for (int i = 0; i < squad->GetMemberCount(); ++i) {
            if (Character* member = squad->GetMember(i))
                member->selected = false;
        }
    }
    application->ClearMessages();
    application->ShowMessageText(9000, "Move mouse to left/right screen edges to rotate view");
    application->ShowMessageText(9000, "Move Mouse to top/bottom screen edges or use mouse wheel to zoom");
    application->ShowMessageText(9000, "Use standard movement keys to move active squad member");
    application->ShowMessageText(9000, "Click on a squad member to select him");
}

void Player::ApplyCommandKey(int action)
{
    SquadRoster* roster = RunningLevel::Command().CurrentSquadRoster();
    if (action == 30) {
        HandleAction(30);
        return;
    }
    for (int i = 0; roster && i < roster->GetMemberCount(); ++i) {
        Player* member = AsPlayer(roster->GetMember(i));
        if (!member || !member->selected)
            continue;
        switch (action) {
        case 7:
        case 8:
        case 9: {
            OrderHold(member, false);
            int posture = Standing;
            if (action == 8)
                posture = member->posture == Crouching ? Standing : Crouching;
            else if (action == 9)
                posture = member->posture == Prone ? Standing : Prone;
            member->SetPosture(posture);
            break;
        }
        case 21: OrderHold(member, true); break;
        case 22: OrderFollowMe(member, true); break;
        case 23:
            member->fireMode = HoldFire;
            Message(2000, "%s: Holding fire", RunningLevel::Records().PlayerName(member->squadSlot));
            break;
        case 24:
            member->fireMode = FireAtWill;
            Message(2000, "%s: Firing at will", RunningLevel::Records().PlayerName(member->squadSlot));
            break;
        default: break;
        }
    }
}

bool Player::OnKeyDown(int key)
{
    const int action = ActionForKey(key);
    if (viewMode == 2) {
        ApplyCommandKey(action);
        return false;
    }
    if (key >= kFirstMemberKey && key < kFirstMemberKey + 4) {
        if (ItemLocked(this))
            return false;
        SquadRoster* roster = RunningLevel::Command().CurrentSquadRoster();
        if (SwitchToSquadMember(key - kFirstMemberKey, roster, false)) {
            if (Player* now = AsPlayer(roster->GetMember(key - kFirstMemberKey)))
                now->PlayOrderVoice(PlayerVoices::Pick2D(PlayerVoices::Switch, now->GetVoiceSet()));
        }
        return false;
    }
    if (HandleAction(action))
        return false;
    const Options* options = Options::Instance();
    if (moveMode == 2 && (key == kEscapeKey || (options && key == options->GetKeyForAction(14)))) {
        // A mounted gunner rides no vehicle: the item he mans takes the key.
        CarriedItem* vehicle = GetVehicle() ? GetVehicle() : GetHeldItem();
        return vehicle ? RunningLevel::Controls().HeldItemInput(vehicle, 0, key) : true;
    }
    return GetHeldItem() ? RunningLevel::Controls().HeldItemInput(GetHeldItem(), 0, key) : true;
}

bool Player::OnMouseButton(int button, int x, int y, int extra)
{
    (void)extra;
    if (viewMode == 2) {
        dragStartX = x;
        dragStartY = y;
        return false;
    }
    if (HandleAction(ActionForKey(button + 1)))
        return false;
    return GetHeldItem() ? RunningLevel::Controls().HeldItemInput(GetHeldItem(), 1, button) : true;
}

int Player::OnCommandClick(int x, int y, int button)
{
    if (viewMode != 2)
        return GetHeldItem() ? RunningLevel::Controls().HeldItemInput(GetHeldItem(), 2, button) : true;
    bool anySelected = false;
    for (int i = 0; squad && i < squad->GetMemberCount(); ++i) {
        if (Character* member = squad->GetMember(i))
            anySelected = anySelected || member->selected;
    }
    const bool drag = dragStartX != -1 && std::abs(x - dragStartX) > 10 && std::abs(y - dragStartY) > 10;
    if (!drag) {
        if (Character* picked = RunningLevel::Command().CharacterUnderPointer(x, y, SquadKind)) {
            if (!IsShiftDown()) {
                for (int i = 0; squad && i < squad->GetMemberCount(); ++i) {
                    if (Character* member = squad->GetMember(i))
                        member->selected = false;
                }
            }
            picked->selected = !picked->selected;
        } else {
            Vector3 point;
            if (RunningLevel::Command().PickGroundUnderPointer(x, y, &point)) {
                for (int i = 0; squad && i < squad->GetMemberCount(); ++i) {
                    Player* member = AsPlayer(squad->GetMember(i));
                    if (member && member != this && member->selected && member->health > 0)
                        member->OrderMoveTo(point);
                }
            }
        }
    } else {
        const int left = std::min(x, dragStartX), right = std::max(x, dragStartX);
        const int top = std::min(y, dragStartY), bottom = std::max(y, dragStartY);
        for (int i = 0; squad && i < squad->GetMemberCount(); ++i) {
            Player* member = AsPlayer(squad->GetMember(i));
            if (!member)
                continue;
            if (!IsShiftDown())
                member->selected = false;
            const int ax = int(member->screenAnchor[0]), ay = int(member->screenAnchor[1]);
            if (member != this && ax > left && ax < right && ay > top && ay < bottom)
                member->selected = true;
        }
    }
    bool selectedNow = false;
    for (int i = 0; squad && i < squad->GetMemberCount(); ++i) {
        if (Character* member = squad->GetMember(i))
            selectedNow = selectedNow || member->selected;
    }
    if (!anySelected && selectedNow) {
        Application::Instance()->ClearMessages();
        Application::Instance()->ShowMessageText(5000,
                                                 "Left-click on the ground to have the selected squad members move there");
    }
    dragStartX = dragStartY = -1;
    return false;
}

int Player::OnMouseWheel(int direction, int a, int b)
{
    (void)a;
    (void)b;
    if (viewMode != 2)
        return GetHeldItem() ? RunningLevel::Controls().HeldItemInput(GetHeldItem(), 3, direction) : true;
    const float step = IsActionKeyDown(6) ? 20.0f : 5.0f;
    if (direction == 1)
        commandCameraHeight += step;
    else if (direction == 0)
        commandCameraHeight -= step;
    commandCameraHeight = std::clamp(commandCameraHeight, 20.0f, 70.0f);
    return false;
}

void Player::PlayOrderVoice(Sound2D* sample)
{
    if (!sample || CountLivingMembers(RunningLevel::Command().CurrentSquadRoster()) < 2)
        return;
    {
        bool near = false, alert = false;
        for (Character* other : RunningLevel::Scene().Characters()) {
            if (other && other->kind != SquadKind && other->health > 0 &&
                DistanceSquared(other->position, position) < 10000.0f) {
                near = true;
                alert = alert || other->alerted;
            }
        }
        if (near && !alert)
            return;
    }
    sample->Play(PlayerVoices::Volume());
}

bool Player::SwitchToSquadMember(int n, SquadRoster* toSquad, bool forced)
{
    if (!toSquad || n < 0 || n >= toSquad->GetMemberCount())
        return false;
    Player* next = AsPlayer(toSquad->GetMember(n));
    if (!next)
        return false;
    if (!forced && (next->health <= 0 || next->previousAction == 39 || (next->roles & Ally)))
        return false;
    int i = -1;
    for (int k = 0; k < toSquad->GetMemberCount(); ++k) {
        Character* member = toSquad->GetMember(k);
        if (member && member->GetController() != kComputer) {
            i = k;
            break;
        }
    }
    if (i == n)
        return false;
    Player* old = i >= 0 ? AsPlayer(toSquad->GetMember(i)) : nullptr;
    // Without a human member the new one takes the local human's controller.
    int handedController = kLocalHuman;
    if (old) {
        if (old->GetHeldItem()) {
            const bool weapon = old->GetHeldItem()->IsWeapon();
            old->StopUsingHeldItem();
            if (!weapon)
                old->SelectDefaultItem();
        }
        if (old->viewMode == 0)
            old->CycleViewMode();
        handedController = old->controller;
        old->controller = kComputer;
        if (old->health > 0)
            old->position.y += 1.0f;
    }
    next->controller = handedController;

    Formation* formation = old && old->formationLink ? old->formationLink->formation : nullptr;
    if (formation && formation->leaderLink == old->formationLink) {
        next->LeaveFormation();
        Formation::ChangeLeader(formation, &old->formationLink, &next->formationLink, next);
        next->UpdateFormationAnchor();
        if (old->order != OrderHoldPosition)
            old->JoinFormationOf(next);
        formation->holdPositions = 1;
    } else if (!next->LeadsFormation()) {
        // No formation led by the old member: the new one leads one of the first loaded
        // definition, or goes without when none is loaded.
        next->LeaveFormation();
        if (old)
            old->LeaveFormation();
        if (const FormationDefinition* first = PtrListOf<FormationDefinition>::ItemOf(Formation::GetDefinitions().GetHead())) {
            next->SetFormation(first->fileName.c_str());
            if (old && old->order != OrderHoldPosition)
                old->JoinFormationOf(next);
            if (next->formationLink && next->formationLink->formation)
                next->formationLink->formation->holdPositions = 1;
        }
    }

    if (old) {
        old->destination.replan = 1;
        old->destination.run = 0;
        old->goalPosition = old->position;
        if (WaypointGraph* graph = RunningLevel::AI().Waypoints())
            old->goalNode = graph->FindNearestNode(old->position.x, old->position.y, old->position.z);
    }
    if (next->order != OrderHoldPosition)
        next->SetOrder(OrderFollow);
    for (int k = 0; k < toSquad->GetMemberCount(); ++k) {
        Player* member = AsPlayer(toSquad->GetMember(k));
        if (!member || member == next || member->order == OrderHoldPosition)
            continue;
        if (DistanceSquared(member->position, next->position) > 7225.0f) {
            member->order = OrderHoldPosition;
            member->LeaveFormation();
        }
    }
    if (toSquad == RunningLevel::Command().CurrentSquadRoster()) {
        if (next->GetHeldItem())
            next->StopUsingHeldItem();
        RunningLevel::Command().TakeControl(next);
        if (!forced)
            Application::Instance()->ShowMessage(3000, "Switching to %s", RunningLevel::Records().PlayerName(next->squadSlot).c_str());
        next->underFire = 0;
    }
    return true;
}

void Player::SetOrder(int newOrder)
{
    if (!squad)
        return;
    destination.replan = 1;
    destination.run = 0;
    order = newOrder;
    for (int i = 0; i < squad->GetMemberCount(); ++i) {
        Player* member = AsPlayer(squad->GetMember(i));
        if (member && member != this && member->order == OrderMoveToPoint)
            return;
    }
    RunningLevel::Command().SetGroundMarker(nullptr);
}

bool Player::OrderMoveTo(const Vector3& point)
{
    const bool failed = PlanRouteTo(point, nullptr);
    behaviourFlag = failed ? 1 : 0;
    if (failed || !routePath || routePath->GetCount() < 2)
        return false;
    destination.destination = point;
    destination.lastGoal = point;
    destination.replan = 0;
    destination.run = 1;
    RunningLevel::Command().SetGroundMarker(&point);
    order = OrderMoveToPoint;
    return true;
}

void Player::DropItem(CarriedItem* item, const Vector3& point)
{
    if (!item || !OwnsItem(item))
        return;
    if (item->category == CarriedItem::Flag)
        RunningLevel::GameMode().MissionItemDropped(this, item, squadNumber, team);
    Character::DropItem(item, point);
}

void Player::DropAllItems()
{
    float angle = 0.0f;
    const std::vector<CarriedItem*> items = inventory;
    for (CarriedItem* item : items) {
        if (!item || std::strcmp(item->name, "Knife") == 0)
            continue;
        const Vector3 forward(std::sin(angle), 0.0f, std::cos(angle));
        DropItem(item, position + forward * 3.0f);
        angle += 1.2566371f;
    }
}

CarriedItem* Player::GetVehicle()
{
    CarriedItem* held = GetHeldItem();
    if (held && held->category == CarriedItem::Vehicle)
        return held;
    return RunningLevel::Scene().RidingVehicle(this);
}

#pragma once

#include <memory>
#include <string>
#include <vector>

#include "items/Item.h"
#include "items/explosives/ExplosiveRules.h"

class Sound3D;

// A square of buried mines the level lays ("Mine Field"): a grid around the item's position, each
// mine jittered by the world's noise table, drawn (visible mines) or hidden until it has gone off,
// when its crater shows. The local player's character sets a mine off within 2 units of it; the
// blast hurts every character within 40 units, one blast per update.
//
// Its block behind the Item block is the MineFieldBlock.
class MineFieldItem : public Item {
public:
    explicit MineFieldItem(const ItemDefinition& definition);
    ~MineFieldItem() override;

    void UpdateTransform(float elapsed) override;
    void Load(SaveStream* stream) override;
    void Save(SaveStream* stream) override;
    void Draw(Device* device) override;
    bool IntersectRay(HitResult& hit) override { (void)hit; return false; }

    // Half the side of the square; a bad size (not finite, negative, beyond the limit) is logged
    // and lays no field. Every mine is intact again.
    void SetSize(float halfSize);
    void SetVisibleMines(bool visible);
    const MineFieldGrid& Grid() const { return grid; }
    const std::vector<std::uint8_t>& GoneOff() const { return goneOff; }
    bool ExplosionPending() const { return pending; }

    // Where each mine of the grid lies, row by row, with the turn fraction of each.
    void LayOut(std::vector<Vector3>& points, std::vector<float>* turns = nullptr) const;
    // Sets off the first intact mine within 2 units of the point, when no blast is pending; true
    // when one went off.
    bool TriggerAt(const Vector3& point);

private:
    void Blast();

    MineFieldGrid grid;
    std::vector<std::uint8_t> goneOff;
    Vector3 explosionPoint;
    bool pending = false;
    std::unique_ptr<Sound3D> explosionSound;
    std::unique_ptr<SharedMeshNode> crater;
    ItemModelRecord* craterRecord = nullptr;
    std::string soundBase;
    std::vector<Vector3> points; // the layout, kept between frames
    std::vector<float> turns;
};

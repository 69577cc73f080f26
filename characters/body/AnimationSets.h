#pragma once

// The level's table of animation sets (the upper-body folders the template character loads).
// The mission implements it (mission/services/MissionScene.h); with no level, NoLevel answers.
class AnimationSets {
public:
    virtual ~AnimationSets() = default;

    // Index of an animation set by name (any case), -1 when absent.
    virtual int FindAnimationSet(const char* name) = 0;
    // The count of sets and the name of set k ("" outside the table).
    virtual int AnimationSetCount() = 0;
    virtual const char* AnimationSetName(int index) = 0;
    // The level's default animation set (the one a character holds with nothing special in hand),
    // -1 when the level has none.
    virtual int DefaultAnimationSet() = 0;
};

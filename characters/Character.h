#pragma once

#include "characters/GameObject.h"

// Base of every person and animal in a mission. Being filled in: the body, movement, inventory
// and saved block follow.
class Character : public GameObject {
public:
    Character();
    ~Character() override;
};

#include "characters/Character.h"

Character::Character()
{
    objectType = CharacterType;
}

Character::~Character() = default;

#include "characters/body/TemplateCharacter.h"

namespace {

Character* templateCharacter = nullptr;

} // namespace

Character* GetTemplateCharacter()
{
    return templateCharacter;
}

void SetTemplateCharacter(Character* character)
{
    templateCharacter = character;
}

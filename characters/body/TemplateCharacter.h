#pragma once

class Character;

// The template character whose animation controller the others copy: the first character that
// loads animation information, cleared by its destructor. The characters set and clear it
// themselves, so it lives beside them rather than with the level.
Character* GetTemplateCharacter();
void SetTemplateCharacter(Character* character);

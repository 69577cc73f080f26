#pragma once

// Answers the AI's weapon questions (characters/WeaponQueries.h) from the item classes: the kind
// tests and the range of a held weapon. The program calls it once at start-up, before any level.
void RegisterWeaponQueries();

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One entry a reader family: the bytes are read as that family's file, and what the reader
// promises of everything it accepts is checked. The fuzzing targets and the regression tests call
// the same entries. Each returns the first broken promise, or an empty text.
namespace readers {

// A map description file (".mpb"), read through the reader's file callbacks from memory.
std::string ReadMapDescriptionBytes(const std::uint8_t* data, std::size_t size);

// An item definition file (".idf"): its common lines and its weapon block.
std::string ReadItemDefinitionBytes(const std::uint8_t* data, std::size_t size);

// One property text of a map object's library entry: its words and every prop kind's numbers.
std::string ReadPropertyLineBytes(const std::uint8_t* data, std::size_t size);

// The class lines of the weapon and tool items that follow their definition's fixed lines: the
// launcher's seven, the scoped rifle's three, the zoom and heal lines of the plain items.
std::string ReadWeaponClassLinesBytes(const std::uint8_t* data, std::size_t size);

// A formation file (".for"): its slot count and the five numbers of every slot.
std::string ReadFormationBytes(const std::uint8_t* data, std::size_t size);

// A map's patrol path file (".pth"), read through the pack-file layer.
std::string ReadPatrolPathBytes(const std::uint8_t* data, std::size_t size);

// The AI's text files, one text read as both: a sensor file (".sns") and a statistics table.
std::string ReadAITextBytes(const std::uint8_t* data, std::size_t size);

// The map's binary AI files, one input read as each: a waypoint graph (".wps") with a route
// search over it, cover points (".cvr") and a saved steering image.
std::string ReadAIFilesBytes(const std::uint8_t* data, std::size_t size);

// A mission file (".mis"): its header of any version and its objective records.
std::string ReadMissionDefinitionBytes(const std::uint8_t* data, std::size_t size);

// The whole numbers of the mission's property lines (trigger, stationary, inactive, skills,
// flag spawn, multistart) from one line, and the same bytes as a "TileProperties.txt".
std::string ReadMissionNumbersBytes(const std::uint8_t* data, std::size_t size);

// A saved block: the first byte picks the object (a soldier with an automatic rifle and a rifle
// with a grenade launcher to carry, either weapon alone, a grenade, a bullet), the rest is read
// by its Load; what a Load takes must save and load again.
std::string ReadSavedBlockBytes(const std::uint8_t* data, std::size_t size);
// One input of each object, as the object's own Save writes it.
std::vector<std::vector<std::uint8_t>> MakeSavedBlockSeeds();

} // namespace readers

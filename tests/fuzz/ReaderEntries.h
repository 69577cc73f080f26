#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// One entry a reader family: the bytes are read as that family's file, and what the reader
// promises of everything it accepts is checked. The fuzzing targets and the regression tests call
// the same entries. Each returns the first broken promise, or an empty text.
namespace readers {

// A map description file (".mpb"), read through the reader's file callbacks from memory.
std::string ReadMapDescriptionBytes(const std::uint8_t* data, std::size_t size);

// An item definition file (".idf"): its common lines and its weapon block.
std::string ReadItemDefinitionBytes(const std::uint8_t* data, std::size_t size);

} // namespace readers

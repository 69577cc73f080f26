#pragma once

#include "renderer/Device.h"

// The name the program asks for; it stands for liblumora.so in the program's own folder.
inline constexpr const char* kRendererLibraryName = "Lumora.DLL";

// Loads the renderer library, checks its version, creates the device into *device and registers
// the program's material effects. Throws q3DError ("Error loading %s", "Error getting proc address
// of GetDLLVersion", "DLL version mismatch", "Error getting proc address of CreateDevice", "Error
// creating device").
void LoadRendererLibrary(const char* path, Device** device);

// Unregisters the program's effects, destroys the device (*device becomes null) and unloads the
// library. Safe to call when nothing was loaded.
void UnloadRendererLibrary(Device** device);

// The file a library path names: kRendererLibraryName becomes liblumora.so beside the program.
const char* ResolveRendererLibraryPath(const char* path, char* buffer, int size);

// Loading a shared library by path: the platform half of ChatLibrary.
#pragma once

#include <string>

namespace natter {

// The library at the ANSI path, or null.
void* OpenModule(const std::string& path);
// The address of an exported C function, or null.
void* FindExport(void* module, const char* name);
void CloseModule(void* module);

}  // namespace natter

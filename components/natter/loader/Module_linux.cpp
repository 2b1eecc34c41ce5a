#include <dlfcn.h>

#include "Module.h"
#include "platform/CodePage.h"

namespace natter {

void* OpenModule(const std::string& path) {
    // The plug-in keeps its own symbols to itself; everything it needs is resolved now, so a
    // broken plug-in fails here rather than in the middle of a call.
    return ::dlopen(platform::AnsiToUtf8(path).c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindExport(void* module, const char* name) {
    return ::dlsym(module, name);
}

void CloseModule(void* module) {
    ::dlclose(module);
}

}  // namespace natter

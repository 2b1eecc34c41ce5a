#include <windows.h>

#include "Pictures.h"

namespace dravel::app {

platform::Image LoadPicture(int id) {
    // A BITMAP resource is the file without its file header; the decoder reads it directly,
    // so both platforms turn the same bytes into the same pixels.
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    if (found == nullptr) {
        return {};
    }
    HGLOBAL loaded = LoadResource(module, found);
    const DWORD size = SizeofResource(module, found);
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr || size == 0) {
        return {};
    }
    return DecodeBmp(static_cast<const uint8_t*>(bytes), size);
}

}  // namespace dravel::app

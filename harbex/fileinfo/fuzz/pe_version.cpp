// Our PE version reader and the version query on arbitrary file contents.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fileinfo/PeVersion.h"
#include "platform/CodePage.h"

namespace hf = harbex::fileinfo;

namespace {

const hf::AnsiCodec kAnsi{&platform::Utf16ToAnsi, &platform::AnsiToUtf16};

void QueryAll(std::uint8_t* block, std::size_t size) {
    static const char* const kPaths[] = {
        "\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904b0\\FileVersion",
        "\\StringFileInfo\\080404b0\\CompanyName", "\\\\stringfileinfo\\\\00000000\\x\\"};
    for (const char* path : kPaths) {
        void* value = nullptr;
        std::uint32_t length = 0;
        if (hf::QueryVersionValue({block, size}, path, kAnsi, &value, &length)) {
            // Whatever the query answers must be readable inside the block.
            auto* p = static_cast<const std::uint8_t*>(value);
            if (p < block || p > block + size) {
                __builtin_trap();
            }
            volatile std::uint8_t sink = 0;
            for (std::size_t i = 0; i < length && p + i < block + size; ++i) {
                sink = sink ^ p[i];
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    alignas(4) static std::uint8_t block[4096];

    // The input as a file.
    hf::MemorySource file({data, size});
    if (auto resource = hf::FindVersionResource(file)) {
        if (resource->offset + resource->size > size) {
            __builtin_trap();
        }
        std::memset(block, 0, sizeof block);
        if (hf::CopyVersionInfo(file, *resource, block)) {
            hf::IsSoundVersionBlock(block);
            QueryAll(block, sizeof block);
        }
    }

    // The input as a version block, unchecked, and in a block exactly its size.
    std::memset(block, 0, sizeof block);
    std::size_t count = size < sizeof block ? size : sizeof block;
    if (count > 0) {
        std::memcpy(block, data, count);
    }
    hf::IsSoundVersionBlock(block);
    QueryAll(block, sizeof block);
    QueryAll(block, count);
    return 0;
}

// Documents from the update server: whatever the parser accepts is walked whole, and its texts
// never add up to more than the document itself (no entity may expand a small file).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/Xml.h"

namespace {

std::size_t TextBytes(const platform::XmlElement& element) {
    std::size_t bytes = element.name.size();
    for (const auto& [name, value] : element.attributes) {
        bytes += name.size() + value.size();
    }
    for (const platform::XmlElement& child : element.children) {
        bytes += TextBytes(child);
    }
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    platform::XmlElement root;
    if (!platform::ParseXml(bytes, root)) {
        return 0;
    }
    if (TextBytes(root) > size) {
        std::abort();
    }
    for (const platform::XmlElement* file :
         platform::SelectElements(root, "/Manifest/FileList/File")) {
        if (file->name != "File") {
            std::abort();
        }
    }
    return 0;
}

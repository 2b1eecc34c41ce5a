#include "platform/Xml.h"

namespace platform {

const std::string* XmlElement::Attribute(std::string_view attribute) const {
    for (const auto& [key, value] : attributes) {
        if (key == attribute) {
            return &value;
        }
    }
    return nullptr;
}

namespace {

void Collect(const XmlElement& element, std::string_view rest,
             std::vector<const XmlElement*>& found) {
    const std::size_t slash = rest.find('/');
    const std::string_view step = rest.substr(0, slash);
    if (element.name != step) {
        return;
    }
    if (slash == std::string_view::npos) {
        found.push_back(&element);
        return;
    }
    for (const XmlElement& child : element.children) {
        Collect(child, rest.substr(slash + 1), found);
    }
}

}  // namespace

std::vector<const XmlElement*> SelectElements(const XmlElement& root, std::string_view path) {
    std::vector<const XmlElement*> found;
    if (path.size() > 1 && path.front() == '/') {
        Collect(root, path.substr(1), found);
    }
    return found;
}

}  // namespace platform

#include "Digest.h"

#include "FileNames.h"
#include "Md5.h"

namespace dravel {

std::optional<std::string> Md5HexOfFile(const std::string& path) {
    const std::optional<harbex::Md5::Digest> digest = harbex::Md5OfFile(path.c_str());
    if (!digest) {
        return std::nullopt;
    }
    return harbex::Md5::ToHex(*digest);
}

bool IsDigestText(std::string_view text) {
    if (text.size() != 32) {
        return false;
    }
    for (char c : text) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (!hex) {
            return false;
        }
    }
    return true;
}

bool SameDigest(std::string_view a, std::string_view b) {
    return IsDigestText(a) && EqualsIgnoreAsciiCase(a, b);
}

}  // namespace dravel

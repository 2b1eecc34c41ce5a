// MD5 digests as the manifest writes them: 32 hexadecimal digits.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dravel {

// The digest of a file's content in lower-case hexadecimal; empty when it cannot be read.
std::optional<std::string> Md5HexOfFile(const std::string& path);

// True for exactly 32 hexadecimal digits, in either letter case.
bool IsDigestText(std::string_view text);

// Two digests written in either letter case name the same content.
bool SameDigest(std::string_view a, std::string_view b);

}  // namespace dravel

// Lines from the lobby link: whatever the reader accepts must survive a round trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/LobbyWire.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    if (const auto message = platform::ParseLobbyLine(line)) {
        const std::string again = platform::FormatLobbyLine(*message);
        if (again.size() > platform::kLobbyMaxLine || platform::ParseLobbyLine(again) != message) {
            std::abort();
        }
    }
    if (const auto result = platform::ParseLobbyResult(line)) {
        if (platform::ParseLobbyResult(platform::FormatLobbyResult(*result)) != result) {
            std::abort();
        }
    }
    return 0;
}

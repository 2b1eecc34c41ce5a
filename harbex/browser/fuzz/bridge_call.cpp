// The page's string through the bridge: whatever it holds, a call of the right shape is never
// refused, and a delivered text fits the host's 4096-byte buffer with its terminator.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "harbex/JsExternal.h"

namespace {

class CheckingSink final : public IJsMessage {
public:
    void OnJsMessage(uint32_t, char* text) override {
        if (std::strlen(text) >= 4096) {
            std::abort();
        }
        text[0] = 'x';  // the text is the host's to change, terminator included when empty
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text(size / 2, u'\0');
    std::memcpy(text.data(), data, text.size() * 2);

    CheckingSink sink;
    const JsExternal external(sink);
    const harbex::JsArgument argument{true, text};
    if (external.Call({&argument, 1}) != harbex::kJsCallDone) {
        std::abort();
    }
    return 0;
}

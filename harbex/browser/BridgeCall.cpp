#include "BridgeCall.h"

#include <array>
#include <cstring>

#include "platform/CodePage.h"

namespace harbex {

namespace {

bool IsBlank(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

}  // namespace

uint32_t ParseCommandNumber(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    uint64_t value = 0;
    bool digits = false;
    bool overflow = false;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        digits = true;
        if (!overflow) {
            value = value * 10 + static_cast<uint64_t>(text[i] - u'0');
            overflow = value > UINT32_MAX;
        }
    }
    if (!digits) {
        return 0;
    }
    if (overflow) {
        return UINT32_MAX;
    }
    const auto magnitude = static_cast<uint32_t>(value);
    return negative ? 0u - magnitude : magnitude;
}

BridgeVerdict ReadBridgeCall(std::span<const JsArgument> args, BridgeMessage& message) {
    if (args.size() != 1 || !args[0].isString) {
        return BridgeVerdict::Refused;
    }
    std::u16string_view call = args[0].text;
    call = call.substr(0, call.find(u'\0'));

    // Without a comma there is no text part; an empty or over-long command is no command.
    const std::size_t comma = call.find(u',');
    if (comma == std::u16string_view::npos || comma == 0 || comma > kBridgeCommandMax) {
        return BridgeVerdict::Dropped;
    }

    // Every UTF-16 unit takes at least one byte, a surrogate pair at least one for both, so a
    // text this long cannot fit and need not be converted to find that out.
    const std::u16string_view text = call.substr(comma + 1);
    if (text.size() > 2 * (kBridgeTextBuffer - 1)) {
        return BridgeVerdict::Dropped;
    }
    std::string ansi = platform::Utf16ToAnsi(text);
    if (ansi.size() > kBridgeTextBuffer - 1 || (ansi.empty() && !text.empty())) {
        return BridgeVerdict::Dropped;
    }

    message.command = ParseCommandNumber(call.substr(0, comma));
    message.text = std::move(ansi);
    return BridgeVerdict::Deliver;
}

int32_t DeliverBridgeCall(std::span<const JsArgument> args, IJsMessage& sink) noexcept {
    BridgeMessage message;
    try {
        switch (ReadBridgeCall(args, message)) {
            case BridgeVerdict::Refused:
                return kJsCallRefused;
            case BridgeVerdict::Dropped:
                return kJsCallDone;
            case BridgeVerdict::Deliver:
                break;
        }
    } catch (...) {
        return kJsCallOutOfMemory;
    }

    std::array<char, kBridgeTextBuffer> buffer;
    std::memcpy(buffer.data(), message.text.data(), message.text.size());
    buffer[message.text.size()] = '\0';
    try {
        sink.OnJsMessage(message.command, buffer.data());
    } catch (...) {
        // The page cannot act on a host failure; the host reports its own.
    }
    return kJsCallDone;
}

}  // namespace harbex

int32_t JsExternal::Call(std::span<const harbex::JsArgument> args) const {
    return harbex::DeliverBridgeCall(args, *m_pJsMessage);
}

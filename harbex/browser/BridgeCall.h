// The rules of the script bridge, the same for every browser engine: which calls on
// window.external are accepted, and how their one string becomes a command number and a text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "harbex/IJsMessage.h"
#include "harbex/JsExternal.h"

namespace harbex {

// The command part is at most this many UTF-16 characters; the text, with its terminator,
// fills at most a buffer of kBridgeTextBuffer bytes.
inline constexpr std::size_t kBridgeCommandMax = 31;
inline constexpr std::size_t kBridgeTextBuffer = 4096;

enum class BridgeVerdict {
    Refused,  // the wrong call shape: the page sees an error
    Dropped,  // the right shape but nothing to deliver: the call succeeds silently
    Deliver,  // call the sink with the message
};

struct BridgeMessage {
    uint32_t command = 0;
    std::string text;  // ANSI code page, at most kBridgeTextBuffer - 1 bytes, no NUL inside
};

// The command number as the C library's wcstoul reads it in base 10 with a 32-bit unsigned
// long: leading blanks skipped, an optional sign, digits up to the first other character;
// no digits give 0, a value out of range gives 4294967295, and a minus sign negates modulo 2^32.
uint32_t ParseCommandNumber(std::u16string_view text);

// Judges one call. The string ends at its first NUL, as the C string the sink gets would.
BridgeVerdict ReadBridgeCall(std::span<const JsArgument> args, BridgeMessage& message);

// Judges one call and delivers it to the sink, in a text buffer of its own for each call (so a
// nested call, which a sink's answer to the page can cause, never overwrites an outer one).
// Nothing escapes: a sink's exception is swallowed, as the bridge reports no sink failure.
int32_t DeliverBridgeCall(std::span<const JsArgument> args, IJsMessage& sink) noexcept;

}  // namespace harbex

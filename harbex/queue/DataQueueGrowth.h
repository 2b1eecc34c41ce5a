// How far the packet queue's buffer grows; kept apart so the limits can be checked without
// allocating gigabytes.
#pragma once

#include <cstdint>

namespace harbex::queue_detail {

// Size of the buffer after growing for a packet of `extra` payload bytes: it gains the larger
// of room for ten such packets and half its size. 0 when the result would not fit 32 bits.
std::uint32_t GrownBufferSize(std::uint32_t current, std::uint16_t extra);

}  // namespace harbex::queue_detail

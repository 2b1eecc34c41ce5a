// Payload copies for the packet queue that move whole 64-byte blocks instead of calling
// memcpy, whose branches on the size mispredict on a mix of small packets. The caller's side
// of a copy is touched exactly; the queue's side is read or written kBlockReach bytes from the
// payload's start whatever its size, so the queue keeps that much spare room behind its buffer.
#pragma once

#include <cstdint>

namespace harbex::queue_detail {

// Payloads of 1 byte up to this size may go through the block copies.
constexpr std::uint32_t kBlockReach = 256;

// True when the processor has the masked moves the block copies need (AVX-512BW);
// the copies must not be called otherwise.
bool BlockCopiesAvailable();

// Both copies return true, so that a queue call can end with them and pass their result on.

// Copies n (1 to kBlockReach) bytes from the caller's `from` into the queue at `to`, and
// writes zeros after them up to kBlockReach bytes from `to`.
bool CopyInBlocks(std::uint8_t* to, const void* from, std::uint32_t n);

// Copies n (1 to kBlockReach) bytes from the queue at `from` to the caller's `to`, which
// is written nowhere else. Reads kBlockReach bytes from `from`.
bool CopyOutBlocks(void* to, const std::uint8_t* from, std::uint32_t n);

}  // namespace harbex::queue_detail

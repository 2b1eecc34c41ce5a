// Payload copies for the packet queue that move whole vector blocks instead of calling memcpy,
// whose branches on the size mispredict on a mix of small packets. The caller's side of a copy
// is touched exactly. The masked copies read or write the queue's side kBlockReach bytes from
// the payload's start whatever its size, so the queue keeps that much spare room behind its
// buffer; the clamped ones touch exactly the payload on both sides.
#pragma once

#include <cstdint>

namespace harbex::queue_detail {

// Payloads of 1 byte up to this size may go through the block copies.
constexpr std::uint32_t kBlockReach = 256;

// A pair of copies; both return true, so that a queue call can end with them and pass their
// result on.
struct BlockCopier {
    // Copies n (1 to kBlockReach) bytes from the caller's `from` into the queue at `to`.
    bool (*copyIn)(std::uint8_t* to, const void* from, std::uint32_t n);
    // Copies n (1 to kBlockReach) bytes from the queue at `from` to the caller's `to`.
    bool (*copyOut)(void* to, const std::uint8_t* from, std::uint32_t n);
};

// The fastest copies this processor runs; both null where it has none, and memcpy serves.
BlockCopier ChooseBlockCopier();

// Four masked 64-byte moves (AVX-512BW). The copy-in writes zeros after the payload up to
// kBlockReach bytes from `to`; the copy-out reads kBlockReach bytes from `from`, except where
// its blocks would straddle a page of the caller's: there it stores whole lines, touching
// exactly the payload on both sides.
bool MaskedCopiesAvailable();
bool CopyInMasked(std::uint8_t* to, const void* from, std::uint32_t n);
bool CopyOutMasked(void* to, const std::uint8_t* from, std::uint32_t n);

// Eight 32-byte moves (AVX2) placed at 0, 32, 64, … but never past n - 32, so that the last
// ones overlap and nothing outside the payload is touched. Below 32 bytes, memcpy.
bool ClampedCopiesAvailable();
bool CopyInClamped(std::uint8_t* to, const void* from, std::uint32_t n);
bool CopyOutClamped(void* to, const std::uint8_t* from, std::uint32_t n);

}  // namespace harbex::queue_detail

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "queue/BlockCopy.h"

namespace {

using harbex::queue_detail::BlockCopiesAvailable;
using harbex::queue_detail::CopyInBlocks;
using harbex::queue_detail::CopyOutBlocks;
using harbex::queue_detail::kBlockReach;

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 13 + (i >> 6));
    }
    return bytes;
}

// Every size, with both sides at several alignments. The caller's buffers end exactly where
// the payload ends, so that a sanitised build also reports any byte touched beyond them.
TEST(BlockCopy, CopiesExactlyThePayloadBetweenTheCallerAndTheQueue) {
    if (!BlockCopiesAvailable()) {
        GTEST_SKIP() << "this processor lacks the masked moves; the queue uses memcpy";
    }
    for (std::uint32_t n = 1; n <= kBlockReach; ++n) {
        for (std::size_t shift : {0u, 1u, 4u, 63u}) {
            std::vector<std::uint8_t> payload(shift, 0);
            const std::vector<std::uint8_t> bytes = Pattern(n, static_cast<std::uint8_t>(n));
            payload.insert(payload.end(), bytes.begin(), bytes.end());
            std::vector<std::uint8_t> ring(shift + kBlockReach + 64, 0xAA);
            CopyInBlocks(ring.data() + shift, payload.data() + shift, n);
            ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), ring.begin() + shift))
                << "in, size " << n << " shift " << shift;
            // Behind the payload the blocks leave zeros, and nothing past them.
            for (std::size_t i = shift + n; i < ring.size(); ++i) {
                ASSERT_EQ(ring[i], i < shift + kBlockReach ? 0 : 0xAA)
                    << "in, size " << n << " shift " << shift << " byte " << i;
            }

            std::vector<std::uint8_t> out(shift + n, 0x55);
            CopyOutBlocks(out.data() + shift, ring.data() + shift, n);
            ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), out.begin() + shift))
                << "out, size " << n << " shift " << shift;
            ASSERT_TRUE(std::all_of(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(shift),
                                    [](std::uint8_t b) { return b == 0x55; }));
        }
    }
}

TEST(BlockCopy, WritesNothingOfTheDestinationPastThePayload) {
    if (!BlockCopiesAvailable()) {
        GTEST_SKIP() << "this processor lacks the masked moves; the queue uses memcpy";
    }
    const std::vector<std::uint8_t> ring = Pattern(kBlockReach, 7);
    for (std::uint32_t n : {1u, 63u, 64u, 65u, 128u, 191u, 192u, 255u, 256u}) {
        std::vector<std::uint8_t> out(kBlockReach + 64, 0x55);
        CopyOutBlocks(out.data() + 1, ring.data(), n);
        EXPECT_EQ(out[0], 0x55) << n;
        EXPECT_TRUE(std::equal(ring.begin(), ring.begin() + n, out.begin() + 1)) << n;
        for (std::size_t i = n + 1; i < out.size(); ++i) {
            ASSERT_EQ(out[i], 0x55) << "size " << n << " byte " << i;
        }
    }
}

}  // namespace

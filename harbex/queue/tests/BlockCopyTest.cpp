#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "queue/BlockCopy.h"

namespace {

using namespace harbex::queue_detail;

std::vector<std::uint8_t> Pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 13 + (i >> 6));
    }
    return bytes;
}

struct Variant {
    const char* name;
    bool available;
    BlockCopier copier;
    bool zerosBehind;  // the copy-in fills the rest of kBlockReach with zeros
};

std::vector<Variant> Variants() {
    return {{"masked", MaskedCopiesAvailable(), {CopyInMasked, CopyOutMasked}, true},
            {"clamped", ClampedCopiesAvailable(), {CopyInClamped, CopyOutClamped}, false}};
}

// Every size, with both sides at several alignments. The caller's buffers end exactly where
// the payload ends, so that a sanitised build also reports any byte touched beyond them.
TEST(BlockCopy, CopiesExactlyThePayloadBetweenTheCallerAndTheQueue) {
    int run = 0;
    for (const Variant& variant : Variants()) {
        if (!variant.available) {
            continue;
        }
        ++run;
        for (std::uint32_t n = 1; n <= kBlockReach; ++n) {
            for (std::size_t shift : {0u, 1u, 4u, 63u}) {
                std::vector<std::uint8_t> payload(shift, 0);
                const std::vector<std::uint8_t> bytes = Pattern(n, static_cast<std::uint8_t>(n));
                payload.insert(payload.end(), bytes.begin(), bytes.end());
                std::vector<std::uint8_t> ring(shift + kBlockReach + 64, 0xAA);
                variant.copier.copyIn(ring.data() + shift, payload.data() + shift, n);
                ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), ring.begin() + shift))
                    << variant.name << " in, size " << n << " shift " << shift;
                // Behind the payload, zeros where the variant writes them, and nothing else.
                const std::size_t zerosEnd = variant.zerosBehind ? shift + kBlockReach : 0;
                for (std::size_t i = shift + n; i < ring.size(); ++i) {
                    ASSERT_EQ(ring[i], i < zerosEnd ? 0 : 0xAA)
                        << variant.name << " in, size " << n << " shift " << shift << " byte " << i;
                }

                std::vector<std::uint8_t> out(shift + n, 0x55);
                variant.copier.copyOut(out.data() + shift, ring.data() + shift, n);
                ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), out.begin() + shift))
                    << variant.name << " out, size " << n << " shift " << shift;
                ASSERT_TRUE(std::all_of(out.begin(),
                                        out.begin() + static_cast<std::ptrdiff_t>(shift),
                                        [](std::uint8_t b) { return b == 0x55; }));
            }
        }
    }
    if (run == 0) {
        GTEST_SKIP() << "this processor has neither copy; the queue uses memcpy";
    }
}

TEST(BlockCopy, WritesNothingOfTheDestinationPastThePayload) {
    const std::vector<std::uint8_t> ring = Pattern(kBlockReach, 7);
    int run = 0;
    for (const Variant& variant : Variants()) {
        if (!variant.available) {
            continue;
        }
        ++run;
        for (std::uint32_t n : {1u, 31u, 32u, 33u, 63u, 64u, 65u, 128u, 191u, 192u, 255u, 256u}) {
            std::vector<std::uint8_t> out(kBlockReach + 64, 0x55);
            variant.copier.copyOut(out.data() + 1, ring.data(), n);
            EXPECT_EQ(out[0], 0x55) << variant.name << " " << n;
            EXPECT_TRUE(std::equal(ring.begin(), ring.begin() + n, out.begin() + 1))
                << variant.name << " " << n;
            for (std::size_t i = n + 1; i < out.size(); ++i) {
                ASSERT_EQ(out[i], 0x55) << variant.name << " size " << n << " byte " << i;
            }
        }
    }
    if (run == 0) {
        GTEST_SKIP() << "this processor has neither copy; the queue uses memcpy";
    }
}

}  // namespace

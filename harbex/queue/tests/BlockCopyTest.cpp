#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
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

// Every size, with both sides at several alignments. The caller's source ends exactly where
// the payload ends, so that a sanitised build also reports any byte read beyond it.
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

                // The destination has guard bytes on both sides, which must keep their value.
                std::vector<std::uint8_t> out(shift + n + kBlockReach, 0x55);
                variant.copier.copyOut(out.data() + shift, ring.data() + shift, n);
                ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), out.begin() + shift))
                    << variant.name << " out, size " << n << " shift " << shift;
                for (std::size_t i = 0; i < out.size(); ++i) {
                    const bool guard = i < shift || i >= shift + n;
                    ASSERT_TRUE(!guard || out[i] == 0x55) << variant.name << " out, size " << n
                                                          << " shift " << shift << " byte " << i;
                }
            }
        }
    }
    if (run == 0) {
        GTEST_SKIP() << "this processor has neither copy; the queue uses memcpy";
    }
}

// The caller's buffer close to the end of a page, where the blocks straddle it: nothing but the
// payload is touched on the caller's side there either.
TEST(BlockCopy, CallerBuffersThatEndNearAPageAreCopiedExactly) {
    constexpr std::size_t kPage = 4096;
    struct PageFree {
        void operator()(std::uint8_t* p) const { ::operator delete[](p, std::align_val_t{kPage}); }
    };
    const std::unique_ptr<std::uint8_t[], PageFree> pages(
        static_cast<std::uint8_t*>(::operator new[](3 * kPage, std::align_val_t{kPage})));
    std::vector<std::uint8_t> ring(kBlockReach + 64, 0xAA);
    for (const Variant& variant : Variants()) {
        if (!variant.available) {
            continue;
        }
        for (std::size_t before : {1u, 17u, 63u, 64u, 100u, 200u, 255u, 300u}) {
            for (std::uint32_t n : {1u, 31u, 32u, 65u, 130u, 200u, 256u}) {
                std::uint8_t* caller = pages.get() + 2 * kPage - before;
                const std::vector<std::uint8_t> bytes = Pattern(n, static_cast<std::uint8_t>(n));
                std::fill(pages.get(), pages.get() + 3 * kPage, 0x55);
                std::copy(bytes.begin(), bytes.end(), caller);
                variant.copier.copyIn(ring.data(), caller, n);
                ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), ring.begin()))
                    << variant.name << " in, size " << n << ", " << before << " before the page";

                std::fill(pages.get(), pages.get() + 3 * kPage, 0x55);
                variant.copier.copyOut(caller, ring.data(), n);
                ASSERT_TRUE(std::equal(bytes.begin(), bytes.end(), caller))
                    << variant.name << " out, size " << n << ", " << before << " before the page";
                const auto untouched = [](std::uint8_t b) { return b == 0x55; };
                const std::string where = std::string(variant.name) + " out, size " +
                                          std::to_string(n) + ", " + std::to_string(before) +
                                          " before the page";
                ASSERT_TRUE(std::all_of(pages.get(), caller, untouched)) << where;
                ASSERT_TRUE(std::all_of(caller + n, pages.get() + 3 * kPage, untouched)) << where;
            }
        }
    }
}

}  // namespace

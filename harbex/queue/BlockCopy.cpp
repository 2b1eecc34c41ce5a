#include "queue/BlockCopy.h"

#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define HARBEX_BLOCK_COPIES 1
#include <immintrin.h>
#else
#define HARBEX_BLOCK_COPIES 0
#endif

namespace harbex::queue_detail {

BlockCopier ChooseBlockCopier() {
    if (MaskedCopiesAvailable()) {
        return {CopyInMasked, CopyOutMasked};
    }
    if (ClampedCopiesAvailable()) {
        return {CopyInClamped, CopyOutClamped};
    }
    return {nullptr, nullptr};
}

#if HARBEX_BLOCK_COPIES

#define HARBEX_MASKED_TARGET __attribute__((target("avx512f,avx512bw")))
// Always inlined: passed between calls, the vectors would go through stack slots that a
// Windows build does not align for them.
#define HARBEX_MASKED_HELPER __attribute__((target("avx512f,avx512bw"), always_inline)) inline
#define HARBEX_CLAMPED_TARGET __attribute__((target("avx2")))
#define HARBEX_CLAMPED_HELPER __attribute__((target("avx2"), always_inline)) inline

namespace {

static_assert(kBlockReach == 4 * 64, "the masked copies move four blocks");
static_assert(kBlockReach == 8 * 32, "the clamped copies move eight blocks");

// The index of every byte of the four blocks. Comparing them with the last index to copy
// gives the four masks without a branch: a mix of packet sizes is unpredictable, and one
// mispredicted branch costs more than a copy.
alignas(64) constexpr std::array<std::uint8_t, kBlockReach> kByteIndex = [] {
    std::array<std::uint8_t, kBlockReach> index{};
    for (std::size_t i = 0; i < index.size(); ++i) {
        index[i] = static_cast<std::uint8_t>(i);
    }
    return index;
}();

// The bytes of block `block` that lie below n, for n from 1 to 256.
HARBEX_MASKED_HELPER __mmask64 BlockMask(__m512i lastIndex, int block) {
    return _mm512_cmpge_epu8_mask(lastIndex, _mm512_load_si512(kByteIndex.data() + 64 * block));
}

HARBEX_MASKED_HELPER __m512i LastIndex(std::uint32_t n) {
    return _mm512_set1_epi8(static_cast<char>(n - 1));
}

// Both directions of the clamped copy. A block starts in step, or at n - 32 once a block in
// step would pass the end; a select, not a branch, for the same reason as above.
HARBEX_CLAMPED_HELPER bool MoveClamped(std::uint8_t* to, const std::uint8_t* from,
                                       std::uint32_t n) {
    if (n < 32) {
        std::memcpy(to, from, n);
        return true;
    }
    const std::size_t lastStart = n - 32;
#pragma GCC unroll 8
    for (std::size_t inStep = 0; inStep < kBlockReach; inStep += 32) {
        const std::size_t at = inStep < lastStart ? inStep : lastStart;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + at),
                            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + at)));
    }
    return true;
}

}  // namespace

bool MaskedCopiesAvailable() {
    __builtin_cpu_init();  // the library may ask before the runtime has run its own
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
}

HARBEX_MASKED_TARGET bool CopyInMasked(std::uint8_t* to, const void* from, std::uint32_t n) {
    const auto* source = static_cast<const std::uint8_t*>(from);
    const __m512i last = LastIndex(n);
    // Masked-off bytes of a load are not read, so the caller's buffer is never overrun.
    _mm512_storeu_si512(to, _mm512_maskz_loadu_epi8(BlockMask(last, 0), source));
    _mm512_storeu_si512(to + 64, _mm512_maskz_loadu_epi8(BlockMask(last, 1), source + 64));
    _mm512_storeu_si512(to + 128, _mm512_maskz_loadu_epi8(BlockMask(last, 2), source + 128));
    _mm512_storeu_si512(to + 192, _mm512_maskz_loadu_epi8(BlockMask(last, 3), source + 192));
    return true;
}

HARBEX_MASKED_TARGET bool CopyOutMasked(void* to, const std::uint8_t* from, std::uint32_t n) {
    auto* target = static_cast<std::uint8_t*>(to);
    const __m512i last = LastIndex(n);
    _mm512_mask_storeu_epi8(target, BlockMask(last, 0), _mm512_loadu_si512(from));
    _mm512_mask_storeu_epi8(target + 64, BlockMask(last, 1), _mm512_loadu_si512(from + 64));
    _mm512_mask_storeu_epi8(target + 128, BlockMask(last, 2), _mm512_loadu_si512(from + 128));
    _mm512_mask_storeu_epi8(target + 192, BlockMask(last, 3), _mm512_loadu_si512(from + 192));
    return true;
}

bool ClampedCopiesAvailable() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

HARBEX_CLAMPED_TARGET bool CopyInClamped(std::uint8_t* to, const void* from, std::uint32_t n) {
    return MoveClamped(to, static_cast<const std::uint8_t*>(from), n);
}

HARBEX_CLAMPED_TARGET bool CopyOutClamped(void* to, const std::uint8_t* from, std::uint32_t n) {
    return MoveClamped(static_cast<std::uint8_t*>(to), from, n);
}

#else

bool MaskedCopiesAvailable() {
    return false;
}

bool ClampedCopiesAvailable() {
    return false;
}

// Never called where the processor lacks them.
bool CopyInMasked(std::uint8_t*, const void*, std::uint32_t) {
    std::abort();
}

bool CopyOutMasked(void*, const std::uint8_t*, std::uint32_t) {
    std::abort();
}

bool CopyInClamped(std::uint8_t*, const void*, std::uint32_t) {
    std::abort();
}

bool CopyOutClamped(void*, const std::uint8_t*, std::uint32_t) {
    std::abort();
}

#endif

}  // namespace harbex::queue_detail

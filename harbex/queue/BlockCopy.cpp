#include "queue/BlockCopy.h"

#include <algorithm>
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

#define HARBEX_MASKED_TARGET __attribute__((target("avx512f,avx512bw,bmi2")))
// Always inlined: passed between calls, the vectors would go through stack slots that a
// Windows build does not align for them.
#define HARBEX_MASKED_HELPER __attribute__((target("avx512f,avx512bw,bmi2"), always_inline)) inline
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

// True when one of the four blocks from `p` would straddle a 4 KiB page boundary. A masked
// store across a page is slow on the processors we measured: on an Intel one a queue step took
// 26-29 ns instead of 10-11 when the caller's destination lay so; on an AMD one a copy-out took
// 15 ns instead of 5 (by lines there: 9.6).
inline bool BlocksStraddleAPage(const void* p) {
    const std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(p) & 4095u;
    return offset > 4096u - kBlockReach && (offset & 63u) != 0;
}

// The copy-out through five stores on whole lines of the destination, which never straddle a
// page. The source is read with the same masks, so nothing outside the payload is read either.
// The masks come from bzhi without branches, for the same reason as the masks above.
HARBEX_MASKED_HELPER bool CopyOutByLines(std::uint8_t* to, const std::uint8_t* from,
                                         std::uint32_t n) {
    const auto lead = static_cast<int>(reinterpret_cast<std::uintptr_t>(to) & 63u);
    const int end = lead + static_cast<int>(n);  // the payload is [lead, end) from `line`
    // Addresses, not pointers: both may lie before the buffers they are in step with, where
    // only masked-off bytes are.
    const std::uintptr_t line = reinterpret_cast<std::uintptr_t>(to) - lead;
    const std::uintptr_t source = reinterpret_cast<std::uintptr_t>(from) - lead;
#pragma GCC unroll 5
    for (int block = 0; block < 5; ++block) {
        // bzhi keeps the bits below its index, and all of them at 64.
        const auto below = static_cast<unsigned>(std::clamp(end - 64 * block, 0, 64));
        __mmask64 mask = _bzhi_u64(~0ull, below);
        if (block == 0) {
            mask &= ~_bzhi_u64(~0ull, static_cast<unsigned>(lead));
        }
        const std::uintptr_t at = 64u * static_cast<unsigned>(block);
        _mm512_mask_storeu_epi8(
            reinterpret_cast<void*>(line + at), mask,
            _mm512_maskz_loadu_epi8(mask, reinterpret_cast<const void*>(source + at)));
    }
    return true;
}

}  // namespace

bool MaskedCopiesAvailable() {
    __builtin_cpu_init();  // the library may ask before the runtime has run its own
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("bmi2");
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
    if (BlocksStraddleAPage(target)) {
        return CopyOutByLines(target, from, n);
    }
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

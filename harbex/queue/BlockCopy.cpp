#include "queue/BlockCopy.h"

#include <cstdlib>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define HARBEX_BLOCK_COPIES 1
#include <immintrin.h>
#else
#define HARBEX_BLOCK_COPIES 0
#endif

namespace harbex::queue_detail {

#if HARBEX_BLOCK_COPIES

#define HARBEX_BLOCK_TARGET __attribute__((target("avx512f,avx512bw")))
// Always inlined: passed between calls, the vectors would go through stack slots that a
// Windows build does not align for them.
#define HARBEX_BLOCK_HELPER __attribute__((target("avx512f,avx512bw"), always_inline)) inline

namespace {

static_assert(kBlockReach == 4 * 64, "the copies below move four blocks");

// The index of every byte of the four blocks. Comparing them with the last index to copy
// gives the four masks without a branch: a mix of packet sizes is unpredictable, and one
// mispredicted branch costs more than a copy.
alignas(64) constexpr std::uint8_t kByteIndex[kBlockReach] = {
#define HARBEX_ROW(r) r, r + 1, r + 2, r + 3, r + 4, r + 5, r + 6, r + 7
#define HARBEX_BLOCK(b)                                                                           \
    HARBEX_ROW(b), HARBEX_ROW(b + 8), HARBEX_ROW(b + 16), HARBEX_ROW(b + 24), HARBEX_ROW(b + 32), \
        HARBEX_ROW(b + 40), HARBEX_ROW(b + 48), HARBEX_ROW(b + 56)
    HARBEX_BLOCK(0), HARBEX_BLOCK(64), HARBEX_BLOCK(128), HARBEX_BLOCK(192)
#undef HARBEX_BLOCK
#undef HARBEX_ROW
};

// The bytes of block `block` that lie below n, for n from 1 to 256.
HARBEX_BLOCK_HELPER __mmask64 BlockMask(__m512i lastIndex, int block) {
    return _mm512_cmple_epu8_mask(_mm512_load_si512(kByteIndex + 64 * block), lastIndex);
}

HARBEX_BLOCK_HELPER __m512i LastIndex(std::uint32_t n) {
    return _mm512_set1_epi8(static_cast<char>(n - 1));
}

}  // namespace

bool BlockCopiesAvailable() {
    __builtin_cpu_init();  // the library may ask before the runtime has run its own
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
}

HARBEX_BLOCK_TARGET bool CopyInBlocks(std::uint8_t* to, const void* from, std::uint32_t n) {
    const auto* source = static_cast<const std::uint8_t*>(from);
    const __m512i last = LastIndex(n);
    // Masked-off bytes of a load are not read, so the caller's buffer is never overrun.
    _mm512_storeu_si512(to, _mm512_maskz_loadu_epi8(BlockMask(last, 0), source));
    _mm512_storeu_si512(to + 64, _mm512_maskz_loadu_epi8(BlockMask(last, 1), source + 64));
    _mm512_storeu_si512(to + 128, _mm512_maskz_loadu_epi8(BlockMask(last, 2), source + 128));
    _mm512_storeu_si512(to + 192, _mm512_maskz_loadu_epi8(BlockMask(last, 3), source + 192));
    return true;
}

HARBEX_BLOCK_TARGET bool CopyOutBlocks(void* to, const std::uint8_t* from, std::uint32_t n) {
    auto* target = static_cast<std::uint8_t*>(to);
    const __m512i last = LastIndex(n);
    _mm512_mask_storeu_epi8(target, BlockMask(last, 0), _mm512_loadu_si512(from));
    _mm512_mask_storeu_epi8(target + 64, BlockMask(last, 1), _mm512_loadu_si512(from + 64));
    _mm512_mask_storeu_epi8(target + 128, BlockMask(last, 2), _mm512_loadu_si512(from + 128));
    _mm512_mask_storeu_epi8(target + 192, BlockMask(last, 3), _mm512_loadu_si512(from + 192));
    return true;
}

#else

bool BlockCopiesAvailable() {
    return false;
}

// Never called where BlockCopiesAvailable() is false.
bool CopyInBlocks(std::uint8_t*, const void*, std::uint32_t) {
    std::abort();
}

bool CopyOutBlocks(void*, const std::uint8_t*, std::uint32_t) {
    std::abort();
}

#endif

}  // namespace harbex::queue_detail

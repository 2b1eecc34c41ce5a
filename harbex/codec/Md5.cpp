#include "Md5.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>

namespace harbex {
namespace {

inline std::uint32_t LoadLe32(const std::uint8_t* p) noexcept {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint32_t v;
        std::memcpy(&v, p, sizeof v);
        return v;
    } else {
        return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
               std::uint32_t{p[3]} << 24;
    }
}

inline void StoreLe32(std::uint8_t* p, std::uint32_t v) noexcept {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// The four round functions in the forms with the shortest dependency chains: F and I need no
// separate NOT of b, and G is split into two disjoint terms that can be added independently.
inline std::uint32_t StepF(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                           std::uint32_t xt, int s) noexcept {
    a += xt + (d ^ (b & (c ^ d)));
    return std::rotl(a, s) + b;
}

inline std::uint32_t StepG(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                           std::uint32_t xt, int s) noexcept {
    a += xt + (c & ~d);
    a += b & d;
    return std::rotl(a, s) + b;
}

inline std::uint32_t StepH(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                           std::uint32_t xt, int s) noexcept {
    a += xt + (b ^ c ^ d);
    return std::rotl(a, s) + b;
}

inline std::uint32_t StepI(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                           std::uint32_t xt, int s) noexcept {
    a += xt + (c ^ (b | ~d));
    return std::rotl(a, s) + b;
}

constexpr char kHexDigits[] = "0123456789abcdef";

}  // namespace

void Md5::ProcessBlocks(std::uint32_t state[4], const std::uint8_t* data,
                        std::size_t blocks) noexcept {
    std::uint32_t a = state[0];
    std::uint32_t b = state[1];
    std::uint32_t c = state[2];
    std::uint32_t d = state[3];
    for (; blocks != 0; --blocks, data += kBlockSize) {
        std::uint32_t x[16];
        for (int i = 0; i < 16; ++i) {
            x[i] = LoadLe32(data + 4 * i);
        }
        const std::uint32_t a0 = a;
        const std::uint32_t b0 = b;
        const std::uint32_t c0 = c;
        const std::uint32_t d0 = d;

        // Round 1.
        a = StepF(a, b, c, d, x[0] + 0xd76aa478u, 7);
        d = StepF(d, a, b, c, x[1] + 0xe8c7b756u, 12);
        c = StepF(c, d, a, b, x[2] + 0x242070dbu, 17);
        b = StepF(b, c, d, a, x[3] + 0xc1bdceeeu, 22);
        a = StepF(a, b, c, d, x[4] + 0xf57c0fafu, 7);
        d = StepF(d, a, b, c, x[5] + 0x4787c62au, 12);
        c = StepF(c, d, a, b, x[6] + 0xa8304613u, 17);
        b = StepF(b, c, d, a, x[7] + 0xfd469501u, 22);
        a = StepF(a, b, c, d, x[8] + 0x698098d8u, 7);
        d = StepF(d, a, b, c, x[9] + 0x8b44f7afu, 12);
        c = StepF(c, d, a, b, x[10] + 0xffff5bb1u, 17);
        b = StepF(b, c, d, a, x[11] + 0x895cd7beu, 22);
        a = StepF(a, b, c, d, x[12] + 0x6b901122u, 7);
        d = StepF(d, a, b, c, x[13] + 0xfd987193u, 12);
        c = StepF(c, d, a, b, x[14] + 0xa679438eu, 17);
        b = StepF(b, c, d, a, x[15] + 0x49b40821u, 22);
        // Round 2.
        a = StepG(a, b, c, d, x[1] + 0xf61e2562u, 5);
        d = StepG(d, a, b, c, x[6] + 0xc040b340u, 9);
        c = StepG(c, d, a, b, x[11] + 0x265e5a51u, 14);
        b = StepG(b, c, d, a, x[0] + 0xe9b6c7aau, 20);
        a = StepG(a, b, c, d, x[5] + 0xd62f105du, 5);
        d = StepG(d, a, b, c, x[10] + 0x02441453u, 9);
        c = StepG(c, d, a, b, x[15] + 0xd8a1e681u, 14);
        b = StepG(b, c, d, a, x[4] + 0xe7d3fbc8u, 20);
        a = StepG(a, b, c, d, x[9] + 0x21e1cde6u, 5);
        d = StepG(d, a, b, c, x[14] + 0xc33707d6u, 9);
        c = StepG(c, d, a, b, x[3] + 0xf4d50d87u, 14);
        b = StepG(b, c, d, a, x[8] + 0x455a14edu, 20);
        a = StepG(a, b, c, d, x[13] + 0xa9e3e905u, 5);
        d = StepG(d, a, b, c, x[2] + 0xfcefa3f8u, 9);
        c = StepG(c, d, a, b, x[7] + 0x676f02d9u, 14);
        b = StepG(b, c, d, a, x[12] + 0x8d2a4c8au, 20);
        // Round 3.
        a = StepH(a, b, c, d, x[5] + 0xfffa3942u, 4);
        d = StepH(d, a, b, c, x[8] + 0x8771f681u, 11);
        c = StepH(c, d, a, b, x[11] + 0x6d9d6122u, 16);
        b = StepH(b, c, d, a, x[14] + 0xfde5380cu, 23);
        a = StepH(a, b, c, d, x[1] + 0xa4beea44u, 4);
        d = StepH(d, a, b, c, x[4] + 0x4bdecfa9u, 11);
        c = StepH(c, d, a, b, x[7] + 0xf6bb4b60u, 16);
        b = StepH(b, c, d, a, x[10] + 0xbebfbc70u, 23);
        a = StepH(a, b, c, d, x[13] + 0x289b7ec6u, 4);
        d = StepH(d, a, b, c, x[0] + 0xeaa127fau, 11);
        c = StepH(c, d, a, b, x[3] + 0xd4ef3085u, 16);
        b = StepH(b, c, d, a, x[6] + 0x04881d05u, 23);
        a = StepH(a, b, c, d, x[9] + 0xd9d4d039u, 4);
        d = StepH(d, a, b, c, x[12] + 0xe6db99e5u, 11);
        c = StepH(c, d, a, b, x[15] + 0x1fa27cf8u, 16);
        b = StepH(b, c, d, a, x[2] + 0xc4ac5665u, 23);
        // Round 4.
        a = StepI(a, b, c, d, x[0] + 0xf4292244u, 6);
        d = StepI(d, a, b, c, x[7] + 0x432aff97u, 10);
        c = StepI(c, d, a, b, x[14] + 0xab9423a7u, 15);
        b = StepI(b, c, d, a, x[5] + 0xfc93a039u, 21);
        a = StepI(a, b, c, d, x[12] + 0x655b59c3u, 6);
        d = StepI(d, a, b, c, x[3] + 0x8f0ccc92u, 10);
        c = StepI(c, d, a, b, x[10] + 0xffeff47du, 15);
        b = StepI(b, c, d, a, x[1] + 0x85845dd1u, 21);
        a = StepI(a, b, c, d, x[8] + 0x6fa87e4fu, 6);
        d = StepI(d, a, b, c, x[15] + 0xfe2ce6e0u, 10);
        c = StepI(c, d, a, b, x[6] + 0xa3014314u, 15);
        b = StepI(b, c, d, a, x[13] + 0x4e0811a1u, 21);
        a = StepI(a, b, c, d, x[4] + 0xf7537e82u, 6);
        d = StepI(d, a, b, c, x[11] + 0xbd3af235u, 10);
        c = StepI(c, d, a, b, x[2] + 0x2ad7d2bbu, 15);
        b = StepI(b, c, d, a, x[9] + 0xeb86d391u, 21);

        a += a0;
        b += b0;
        c += c0;
        d += d0;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

void Md5::Reset() noexcept {
    m_state[0] = 0x67452301u;
    m_state[1] = 0xefcdab89u;
    m_state[2] = 0x98badcfeu;
    m_state[3] = 0x10325476u;
    m_length = 0;
    m_buffered = 0;
}

void Md5::Update(const void* data, std::size_t size) noexcept {
    if (size == 0) {
        return;
    }
    auto p = static_cast<const std::uint8_t*>(data);
    m_length += size;
    if (m_buffered != 0) {
        const std::size_t take = std::min(size, kBlockSize - m_buffered);
        std::memcpy(m_buffer + m_buffered, p, take);
        m_buffered += take;
        p += take;
        size -= take;
        if (m_buffered < kBlockSize) {
            return;
        }
        ProcessBlocks(m_state, m_buffer, 1);
        m_buffered = 0;
    }
    // Whole blocks straight from the caller's memory, no copy.
    const std::size_t blocks = size / kBlockSize;
    if (blocks != 0) {
        ProcessBlocks(m_state, p, blocks);
        p += blocks * kBlockSize;
        size -= blocks * kBlockSize;
    }
    if (size != 0) {
        std::memcpy(m_buffer, p, size);
        m_buffered = size;
    }
}

Md5::Digest Md5::Final() noexcept {
    // A one bit, zeros up to 56 bytes into the last block, then the length in bits (mod 2^64).
    const std::uint64_t bits = m_length << 3;
    const std::size_t padded = m_buffered < 56 ? kBlockSize : 2 * kBlockSize;
    std::uint8_t last[2 * kBlockSize];
    std::memcpy(last, m_buffer, m_buffered);
    last[m_buffered] = 0x80;
    std::memset(last + m_buffered + 1, 0, padded - 8 - m_buffered - 1);
    StoreLe32(last + padded - 8, static_cast<std::uint32_t>(bits));
    StoreLe32(last + padded - 4, static_cast<std::uint32_t>(bits >> 32));
    ProcessBlocks(m_state, last, padded / kBlockSize);

    Digest digest;
    for (int i = 0; i < 4; ++i) {
        StoreLe32(digest.data() + 4 * i, m_state[i]);
    }
    Reset();
    return digest;
}

Md5::Digest Md5::Of(const void* data, std::size_t size) noexcept {
    Md5 md5;
    md5.Update(data, size);
    return md5.Final();
}

void Md5::ToHex(const Digest& digest, char out[33]) noexcept {
    for (std::size_t i = 0; i < digest.size(); ++i) {
        out[2 * i] = kHexDigits[digest[i] >> 4];
        out[2 * i + 1] = kHexDigits[digest[i] & 0x0f];
    }
    out[32] = '\0';
}

std::string Md5::ToHex(const Digest& digest) {
    char text[33];
    ToHex(digest, text);
    return std::string(text, 32);
}

std::optional<Md5::Digest> Md5OfFile(const char* path) {
    if (path == nullptr) {
        return std::nullopt;
    }
    struct Closer {
        void operator()(std::FILE* f) const noexcept { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file(std::fopen(path, "rb"));
    if (!file) {
        return std::nullopt;
    }
    // Large reads go straight into our buffer; the stream's own buffer would only add a copy.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    constexpr std::size_t kChunk = std::size_t{1} << 20;
    const std::unique_ptr<std::uint8_t[]> chunk(new std::uint8_t[kChunk]);
    Md5 md5;
    for (;;) {
        const std::size_t got = std::fread(chunk.get(), 1, kChunk, file.get());
        md5.Update(chunk.get(), got);
        if (got < kChunk) {
            break;
        }
    }
    if (std::ferror(file.get())) {
        return std::nullopt;
    }
    return md5.Final();
}

}  // namespace harbex

// MD5 message digest (RFC 1321), incremental, portable.
//
// Self-contained on purpose: it depends on nothing but the standard library, so the updater can
// build Md5.cpp into itself to compare installed files with their manifest digests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace harbex {

class Md5 {
public:
    using Digest = std::array<std::uint8_t, 16>;

    Md5() noexcept { Reset(); }

    // Starts a new message; Final does this too.
    void Reset() noexcept;

    void Update(const void* data, std::size_t size) noexcept;
    void Update(std::string_view text) noexcept { Update(text.data(), text.size()); }

    // Pads the message, returns its digest and starts a new message.
    Digest Final() noexcept;

    static Digest Of(const void* data, std::size_t size) noexcept;
    static Digest Of(std::string_view text) noexcept { return Of(text.data(), text.size()); }

    // 32 lowercase hexadecimal digits followed by a zero byte.
    static void ToHex(const Digest& digest, char out[33]) noexcept;
    static std::string ToHex(const Digest& digest);

private:
    static constexpr std::size_t kBlockSize = 64;

    // Runs the compression function over `blocks` whole 64-byte blocks read from `data`.
    static void ProcessBlocks(std::uint32_t state[4], const std::uint8_t* data,
                              std::size_t blocks) noexcept;

    std::uint32_t m_state[4];
    std::uint64_t m_length;  // message length in bytes so far
    std::uint8_t m_buffer[kBlockSize];
    std::size_t m_buffered;  // bytes waiting in m_buffer, always < kBlockSize
};

// Digest of a whole file, read in 1 MiB chunks. `path` is a narrow path as the C library takes
// it (the ANSI code page on Windows). Empty when the file cannot be opened or a read fails.
std::optional<Md5::Digest> Md5OfFile(const char* path);

}  // namespace harbex

// Hides a short narrow text in hexadecimal digits with a random key that travels in the text.
// It only keeps the text from casual reading; anyone can decode it.
#pragma once

#include <cstdint>

#include "harbex/HarbexApi.h"

class HARBEX_API CXOREncrypt {
public:
    // Encodes the first (length mod 256) bytes of `source` into `encoded`, a buffer of `maxCount`
    // characters: 20 digits per started group of five bytes and a zero byte. Returns the number
    // of digits written, or, when the buffer is too small, the size it needs (digits + 1) and an
    // empty text. Key bytes and filler come from rand().
    static std::uint16_t EncryptData(const char* source, char* encoded, std::uint16_t maxCount);

    // Decodes a text made by EncryptData into `decoded`, a buffer of `maxCount` characters.
    // Returns the decoded length; 0 for a text that is too short or whose length does not match
    // its length digits. When the buffer cannot hold the text and its zero byte, returns the
    // length and leaves an empty text (nothing at all when `maxCount` is 0).
    static std::uint16_t CrevasseData(const char* encoded, char* decoded, std::uint16_t maxCount);

    // Part of the exported interface; the class holds no data, so it copies nothing.
    CXOREncrypt& operator=(const CXOREncrypt& other);

private:
    CXOREncrypt() = default;
};

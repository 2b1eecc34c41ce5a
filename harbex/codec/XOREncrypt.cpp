#include "harbex/XOREncrypt.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr int kKeySize = 5;
// Digits per source byte: two for the key byte, two for the coded byte.
constexpr int kDigitsPerByte = 4;
// The longest text EncryptData writes: 255 bytes round up to 255 positions.
constexpr std::size_t kLongestText = 255 * kDigitsPerByte;

int Positions(int n) {
    return (n + kKeySize - 1) / kKeySize * kKeySize;
}

void PutHexByte(char* out, unsigned value) {
    out[0] = kHexDigits[(value >> 4) & 0x0f];
    out[1] = kHexDigits[value & 0x0f];
}

// Two characters read as one hexadecimal number, as strtol reads them when they stand alone
// (so non-digits read as 0, and a leading blank or sign is accepted as strtol accepts it).
long ReadHexPair(const char* text) {
    const char pair[3] = {text[0], text[1], '\0'};
    return std::strtol(pair, nullptr, 16);
}

}  // namespace

std::uint16_t CXOREncrypt::EncryptData(const char* source, char* encoded, std::uint16_t maxCount) {
    // The output stays an empty text whatever happens below; with no buffer at all there is
    // nothing to write.
    if (maxCount != 0 && encoded != nullptr) {
        encoded[0] = '\0';
    }
    const char* text = source != nullptr ? source : "";
    const int n = static_cast<int>(std::strlen(text) % 256);

    unsigned char key[kKeySize];
    key[0] = static_cast<unsigned char>(n);
    for (int i = 1; i < kKeySize; ++i) {
        key[i] = static_cast<unsigned char>(std::rand() % 255);
    }

    const int positions = Positions(n);
    const int digits = kDigitsPerByte * positions;  // at most 1020
    if (encoded == nullptr || maxCount < digits + 1) {
        return static_cast<std::uint16_t>(digits + 1);
    }
    for (int i = 0; i < positions; ++i) {
        const unsigned k = key[i % kKeySize];
        const unsigned plain =
            i < n ? static_cast<unsigned char>(text[i]) : static_cast<unsigned>(std::rand() % 255);
        char* out = encoded + kDigitsPerByte * i;
        PutHexByte(out, k);
        PutHexByte(out + 2, k ^ plain);
        out[4] = '\0';
    }
    return static_cast<std::uint16_t>(digits);
}

std::uint16_t CXOREncrypt::CrevasseData(const char* encoded, char* decoded,
                                        std::uint16_t maxCount) {
    if (maxCount != 0 && decoded != nullptr) {
        decoded[0] = '\0';
    }
    if (encoded == nullptr) {
        return 0;
    }
    // Lengths beyond the longest valid text never match, so counting stops there; a huge text
    // is neither walked to its end nor, as a 16-bit count would, mistaken for a short one.
    std::size_t length = 0;
    while (length <= kLongestText && encoded[length] != '\0') {
        ++length;
    }
    if (length < 20) {
        return 0;
    }
    // n is in -15..255; a negative n gives no positive length and fails the check below.
    const long n = ReadHexPair(encoded);
    const long expected = (n + kKeySize - 1) / kKeySize * 20;
    if (static_cast<long>(length) != expected) {
        return 0;
    }
    // The text and its zero byte must fit; with no buffer nothing is decoded.
    if (decoded == nullptr || n >= maxCount) {
        return static_cast<std::uint16_t>(n);
    }
    for (long i = 0; i < n; ++i) {
        const char* pair = encoded + kDigitsPerByte * i;
        const long key = ReadHexPair(pair);
        const long code = ReadHexPair(pair + 2);
        decoded[i] = static_cast<char>(static_cast<unsigned char>((key ^ code) & 0xff));
    }
    decoded[n] = '\0';
    return static_cast<std::uint16_t>(n);
}

CXOREncrypt& CXOREncrypt::operator=(const CXOREncrypt&) {
    return *this;
}

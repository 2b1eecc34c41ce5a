#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "harbex/XOREncrypt.h"

namespace {

constexpr std::uint16_t kRoomy = 2048;

std::string Encode(const std::string& source, std::uint16_t maxCount = kRoomy) {
    std::vector<char> encoded(std::max<std::size_t>(maxCount, 1), 'X');
    const std::uint16_t written =
        CXOREncrypt::EncryptData(source.c_str(), encoded.data(), maxCount);
    EXPECT_EQ(written, std::strlen(encoded.data()));
    return encoded.data();
}

std::string Decode(const std::string& encoded, std::uint16_t* result = nullptr) {
    std::vector<char> decoded(kRoomy, 'X');
    const std::uint16_t n = CXOREncrypt::CrevasseData(encoded.c_str(), decoded.data(), kRoomy);
    if (result != nullptr) {
        *result = n;
    }
    return std::string(decoded.data(), std::min<std::size_t>(n, std::strlen(decoded.data())));
}

unsigned HexByte(const std::string& text, std::size_t at) {
    return static_cast<unsigned>(std::stoul(text.substr(at, 2), nullptr, 16));
}

// Every source byte appears as its key byte followed by the byte XOR the key; the key is n and
// four further bytes, repeating every five positions.
void ExpectLayout(const std::string& source, const std::string& encoded) {
    const std::size_t n = source.size() % 256;
    ASSERT_EQ(encoded.size(), (n + 4) / 5 * 20);
    for (char c : encoded) {
        ASSERT_TRUE(std::isxdigit(static_cast<unsigned char>(c)) && !std::isupper(c)) << encoded;
    }
    for (std::size_t i = 0; i * 4 < encoded.size(); ++i) {
        const unsigned key = HexByte(encoded, 4 * i);
        EXPECT_EQ(key, HexByte(encoded, 4 * (i % 5))) << "key repeats, position " << i;
        if (i < n) {
            EXPECT_EQ(key ^ HexByte(encoded, 4 * i + 2), static_cast<unsigned char>(source[i]))
                << "position " << i;
        }
    }
    EXPECT_EQ(HexByte(encoded, 0), n);
}

TEST(XOREncrypt, EncodesAbcWithItsLengthAsFirstKeyByte) {
    for (int run = 0; run < 20; ++run) {
        const std::string encoded = Encode("abc");
        ASSERT_EQ(encoded.size(), 20u);
        EXPECT_EQ(encoded.substr(0, 4), "0362");
        ExpectLayout("abc", encoded);
        EXPECT_EQ(Decode(encoded), "abc");
    }
}

TEST(XOREncrypt, RoundTripsEveryLengthAndByteValue) {
    std::string source;
    for (int length = 1; length <= 255; ++length) {
        // Includes bytes above 0x7f, as GBK texts have them.
        source.push_back(static_cast<char>(length % 255 + 1));
        const std::string encoded = Encode(source);
        ExpectLayout(source, encoded);
        std::uint16_t n = 0;
        EXPECT_EQ(Decode(encoded, &n), source) << length;
        EXPECT_EQ(n, length);
    }
}

TEST(XOREncrypt, OutputGrowsByTwentyDigitsPerStartedGroupOfFive) {
    EXPECT_EQ(Encode("12345").size(), 20u);
    EXPECT_EQ(Encode("123456").size(), 40u);
    EXPECT_EQ(Encode(std::string(255, 'x')).size(), 1020u);

    char encoded[4] = "XXX";
    EXPECT_EQ(CXOREncrypt::EncryptData("", encoded, 1), 0);
    EXPECT_STREQ(encoded, "");
}

// 300 bytes are taken as 300 mod 256 = 44; 256 bytes as none at all.
TEST(XOREncrypt, LengthIsCountedInOneByte) {
    std::string source;
    for (int i = 0; i < 300; ++i) {
        source.push_back(static_cast<char>('A' + i % 26));
    }
    const std::string encoded = Encode(source);
    EXPECT_EQ(encoded.size(), 180u);
    EXPECT_EQ(Decode(encoded), source.substr(0, 44));

    EXPECT_EQ(Encode(std::string(256, 'z')), "");
}

TEST(XOREncrypt, TooSmallBufferGetsTheNeededSizeAndAnEmptyText) {
    char encoded[32];
    std::fill(std::begin(encoded), std::end(encoded), 'X');
    EXPECT_EQ(CXOREncrypt::EncryptData("abc", encoded, 20), 21);
    EXPECT_STREQ(encoded, "");
    EXPECT_EQ(CXOREncrypt::EncryptData("abc", encoded, 21), 20);
    EXPECT_EQ(std::strlen(encoded), 20u);

    // No buffer at all: nothing may be written, not even the terminator.
    std::fill(std::begin(encoded), std::end(encoded), 'X');
    EXPECT_EQ(CXOREncrypt::EncryptData("abc", encoded, 0), 21);
    EXPECT_EQ(CXOREncrypt::EncryptData("", encoded, 0), 1);
    EXPECT_EQ(encoded[0], 'X');
    EXPECT_EQ(CXOREncrypt::EncryptData("abc", nullptr, 100), 21);
}

TEST(XOREncrypt, TwoEncodingsDifferAndBothDecode) {
    const std::string first = Encode("abc");
    const std::string second = Encode("abc");
    EXPECT_NE(first, second);
    EXPECT_EQ(Decode(first), "abc");
    EXPECT_EQ(Decode(second), "abc");
}

TEST(XOREncrypt, DecodingNeedsRoomForTheTextAndItsTerminator) {
    const std::string encoded = Encode("abc");
    char decoded[8];
    std::fill(std::begin(decoded), std::end(decoded), 'X');
    EXPECT_EQ(CXOREncrypt::CrevasseData(encoded.c_str(), decoded, 3), 3);
    EXPECT_STREQ(decoded, "");
    EXPECT_EQ(CXOREncrypt::CrevasseData(encoded.c_str(), decoded, 4), 3);
    EXPECT_STREQ(decoded, "abc");

    std::fill(std::begin(decoded), std::end(decoded), 'X');
    EXPECT_EQ(CXOREncrypt::CrevasseData(encoded.c_str(), decoded, 0), 3);
    EXPECT_EQ(decoded[0], 'X') << "wrote into a buffer of size 0";
    EXPECT_EQ(CXOREncrypt::CrevasseData(encoded.c_str(), nullptr, 100), 3);
}

TEST(XOREncrypt, RejectsTextsOfTheWrongLength) {
    const std::string encoded = Encode("abc");
    std::uint16_t n = 99;
    EXPECT_EQ(Decode("", &n), "");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(Decode(encoded.substr(0, 19), &n), "");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(Decode(encoded + "0000", &n), "");
    EXPECT_EQ(n, 0);
    // Length digits that ask for 40 digits, and for 20 in a 40-digit text.
    EXPECT_EQ(Decode("06" + encoded.substr(2), &n), "");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(Decode(encoded + encoded, &n), "");
    EXPECT_EQ(n, 0);
    // Length digits of zero or a sign never match a text of 20 digits or more.
    EXPECT_EQ(Decode("00" + encoded.substr(2), &n), "");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(Decode("-1" + encoded.substr(2), &n), "");
    EXPECT_EQ(n, 0);
    EXPECT_EQ(CXOREncrypt::CrevasseData(nullptr, nullptr, 0), 0);
}

// A valid text followed by 65536 more digits must not pass for a 20-digit one.
TEST(XOREncrypt, RejectsATextLongerThanSixteenBitsCanCount) {
    const std::string encoded = Encode("abc") + std::string(65536, '0');
    std::uint16_t n = 99;
    EXPECT_EQ(Decode(encoded, &n), "");
    EXPECT_EQ(n, 0);
}

TEST(XOREncrypt, DecodesUpperCaseDigitsAndSkipsTheFiller) {
    const std::string source = "Hi!";
    std::string encoded = Encode(source);
    std::transform(encoded.begin(), encoded.end(), encoded.begin(),
                   [](char c) { return static_cast<char>(std::toupper(c)); });
    EXPECT_EQ(Decode(encoded), source);

    // Positions 3 and 4 carry filler only.
    encoded.replace(12, 8, "zzzzzzzz");
    EXPECT_EQ(Decode(encoded), source);
}

TEST(XOREncrypt, ReadsDigitPairsAsStrtolDoes) {
    // One byte: key 01 (the length digits), then the code pair.
    const std::string zeros(16, '0');
    EXPECT_EQ(Decode("0140" + zeros), "A");
    // A pair without digits reads as 0, a digit followed by a non-digit as that digit.
    EXPECT_EQ(Decode("01zz" + zeros), "\x01");
    EXPECT_EQ(Decode("014z" + zeros), "\x05");
}

}  // namespace

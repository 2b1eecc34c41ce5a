#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "codec/Md5.h"
#include "harbex/MD5Encrypt.h"

namespace {

using harbex::Md5;

std::string Hex(const Md5::Digest& digest) {
    return Md5::ToHex(digest);
}

// Bytes that differ from position to position, so a misplaced byte changes the digest.
std::vector<unsigned char> Pattern(std::size_t size) {
    std::vector<unsigned char> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    }
    return bytes;
}

struct KnownDigest {
    const char* text;
    const char* hex;
};

// The test suite of RFC 1321, appendix A.5.
const KnownDigest kRfc1321Suite[] = {
    {"", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
    {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
     "d174ab98d277d9f5a5611c2c9f419d9f"},
    {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
     "57edf4a22be3c955ac49da2e2107b67a"},
};

TEST(Md5, MatchesTheRfc1321Suite) {
    for (const auto& known : kRfc1321Suite) {
        EXPECT_EQ(Hex(Md5::Of(known.text)), known.hex) << '"' << known.text << '"';
    }
}

// Lengths around the block size and the 56-byte mark where padding needs a second block.
TEST(Md5, PadsEveryLengthAroundTheBlockBoundaries) {
    const KnownDigest kPatternDigests[] = {
        {"55", "52c0e574e1198de5fe3f8f11440dcb1b"},  {"56", "46c9907fc908ee68b1e7b8e71286a518"},
        {"57", "1c805dd236c35cab25fcb1bc73802c51"},  {"63", "a62f6d59e837867693f042f5b8f5a236"},
        {"64", "7160b8fb5e9e4023d549c3971fbaeead"},  {"65", "70bd662e7aefbda85a0f7244167b7897"},
        {"119", "e84905d4214f4d1ca56c2cdcc152b143"}, {"120", "e3eb5a6c8669ea01a8c185b8abc8a5dc"},
        {"127", "acce2474d6cc8302120d09c818d17ef7"}, {"128", "10b2da1a82f16d99a81a7203fe9f02cb"},
        {"129", "03fefbbcebe2959cf2270241aafe0250"},
    };
    for (const auto& known : kPatternDigests) {
        const auto bytes = Pattern(std::stoul(known.text));
        EXPECT_EQ(Hex(Md5::Of(bytes.data(), bytes.size())), known.hex) << known.text << " bytes";
    }
}

TEST(Md5, IncrementalUpdatesGiveTheOneShotDigest) {
    for (std::size_t size : {55u, 56u, 63u, 64u, 65u, 127u, 128u, 129u, 200u}) {
        const auto bytes = Pattern(size);
        const auto whole = Md5::Of(bytes.data(), bytes.size());
        for (std::size_t split = 0; split <= size; ++split) {
            Md5 md5;
            md5.Update(bytes.data(), split);
            md5.Update(bytes.data() + split, size - split);
            EXPECT_EQ(md5.Final(), whole) << size << " bytes split at " << split;
        }
        // Three pieces, the middle one crossing a block boundary from every offset.
        for (std::size_t first = 0; first + 70 <= size; ++first) {
            Md5 md5;
            md5.Update(bytes.data(), first);
            md5.Update(bytes.data() + first, 70);
            md5.Update(bytes.data() + first + 70, size - first - 70);
            EXPECT_EQ(md5.Final(), whole) << size << " bytes, 70 from " << first;
        }
        Md5 byByte;
        for (unsigned char byte : bytes) {
            byByte.Update(&byte, 1);
        }
        EXPECT_EQ(byByte.Final(), whole) << size << " bytes one at a time";
    }
}

TEST(Md5, FinalStartsANewMessage) {
    Md5 md5;
    md5.Update("some earlier text");
    md5.Final();
    md5.Update("abc");
    EXPECT_EQ(Hex(md5.Final()), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Hex(md5.Final()), "d41d8cd98f00b204e9800998ecf8427e");

    md5.Update("discarded");
    md5.Reset();
    md5.Update("a");
    EXPECT_EQ(Hex(md5.Final()), "0cc175b9c0f1b6a831c399e269772661");
}

TEST(Md5, HashesAMillionBytesInUnevenPieces) {
    const std::string text(1000000, 'a');
    Md5 md5;
    for (std::size_t at = 0, piece = 1; at < text.size(); at += piece, piece = piece * 3 % 4099) {
        md5.Update(text.data() + at, std::min(piece, text.size() - at));
    }
    EXPECT_EQ(Hex(md5.Final()), "7707d6ae4e027c70eea2a935c2296f21");
}

class Md5File : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = std::filesystem::temp_directory_path() /
                 (std::string("harbex_md5_") + info->name() + ".bin");
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }

    std::string Write(const void* data, std::size_t size) {
        const std::string path = m_path.string();
        std::FILE* file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(file, nullptr) << path;
        if (file != nullptr) {
            EXPECT_EQ(std::fwrite(data, 1, size, file), size);
            std::fclose(file);
        }
        return path;
    }

    std::filesystem::path m_path;
};

TEST_F(Md5File, DigestEqualsTheDigestOfItsContents) {
    const std::string path = Write("abc", 3);
    const auto digest = harbex::Md5OfFile(path.c_str());
    ASSERT_TRUE(digest.has_value());
    EXPECT_EQ(Hex(*digest), "900150983cd24fb0d6963f7d28e17f72");
}

TEST_F(Md5File, EmptyFileHasTheEmptyDigest) {
    const std::string path = Write("", 0);
    const auto digest = harbex::Md5OfFile(path.c_str());
    ASSERT_TRUE(digest.has_value());
    EXPECT_EQ(Hex(*digest), "d41d8cd98f00b204e9800998ecf8427e");
}

// Several read chunks and a partial last one.
TEST_F(Md5File, LargeFileIsHashedAcrossItsReadChunks) {
    for (std::size_t size : {std::size_t{1} << 20, (std::size_t{3} << 20) + 17}) {
        const auto bytes = Pattern(size);
        const std::string path = Write(bytes.data(), bytes.size());
        const auto digest = harbex::Md5OfFile(path.c_str());
        ASSERT_TRUE(digest.has_value()) << size;
        EXPECT_EQ(*digest, Md5::Of(bytes.data(), bytes.size())) << size;
    }
}

TEST_F(Md5File, MissingFileGivesNoDigest) {
    EXPECT_FALSE(harbex::Md5OfFile(m_path.string().c_str()).has_value());
    EXPECT_FALSE(harbex::Md5OfFile(nullptr).has_value());
}

TEST(MD5Encrypt, WritesLowercaseDigitsAndATerminator) {
    for (const auto& known : kRfc1321Suite) {
        char result[40];
        std::fill(std::begin(result), std::end(result), 'X');
        CMD5Encrypt::EncryptData(known.text, result);
        EXPECT_STREQ(result, known.hex) << '"' << known.text << '"';
        EXPECT_EQ(result[33], 'X') << "wrote past the 33 characters";
    }
}

TEST(MD5Encrypt, HashesBytesAboveAsciiAsUnsigned) {
    char result[33];
    // A GBK text: every byte has its high bit set.
    CMD5Encrypt::EncryptData("\xc4\xe3\xba\xc3\xa3\xac\xca\xc0\xbd\xe7", result);
    EXPECT_STREQ(result, "bb3d6e2224f64cbb2a33089f44fd778c");
}

TEST(MD5Encrypt, NullSourceIsTheEmptyText) {
    char result[33];
    CMD5Encrypt::EncryptData(nullptr, result);
    EXPECT_STREQ(result, "d41d8cd98f00b204e9800998ecf8427e");
}

}  // namespace

// MD5 digest of a narrow text as 32 lowercase hexadecimal digits.
#pragma once

#include "harbex/HarbexApi.h"

class HARBEX_API CMD5Encrypt {
public:
    // Digest of the bytes of `source` up to its terminating zero, written to `result` as 32
    // lowercase hexadecimal digits and a zero byte. A null `source` counts as the empty text;
    // a null `result` is left alone.
    static void EncryptData(const char* source, char result[33]);

    // Part of the exported interface; the class holds no data, so it copies nothing.
    CMD5Encrypt& operator=(const CMD5Encrypt& other);

private:
    CMD5Encrypt() = default;
};

#include "harbex/MD5Encrypt.h"

#include <cstring>

#include "codec/Md5.h"

void CMD5Encrypt::EncryptData(const char* source, char result[33]) {
    if (result == nullptr) {
        return;
    }
    const char* text = source != nullptr ? source : "";
    harbex::Md5::ToHex(harbex::Md5::Of(text, std::strlen(text)), result);
}

CMD5Encrypt& CMD5Encrypt::operator=(const CMD5Encrypt&) {
    return *this;
}

// The login record parser on arbitrary bytes: it must read only inside the record and keep its
// texts inside their fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "LoginRecord.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    natter::LoginRecord record;
    const bool parsed = natter::ParseLoginRecord(data, size, record);
    if (parsed != (size == natter::kLoginRecordSize)) {
        std::abort();
    }
    if (record.Password.size() > 32 || record.ChatName.size() > 31) {
        std::abort();
    }
    return 0;
}

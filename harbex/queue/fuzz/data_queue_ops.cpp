// Drives the packet queue with an operation sequence read from the input and compares every
// result with a std::deque model; any difference or memory fault is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "harbex/DataQueue.h"

namespace {

struct Packet {
    std::uint16_t id;
    std::vector<std::uint8_t> bytes;
};

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return used_ >= size_; }
    std::uint8_t Byte() { return used_ < size_ ? data_[used_++] : 0; }
    std::uint16_t Word() {
        const std::uint16_t low = Byte();
        return static_cast<std::uint16_t>(low | (Byte() << 8));
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t used_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Reader input(data, size);
    CDataQueue queue;
    std::deque<Packet> model;
    std::uint32_t held = 0;
    std::uint16_t nextId = 0;
    // Reused between inputs: filling 64 KiB for every input would dominate the run time.
    static std::vector<std::uint8_t> out(65535);

    while (!input.empty()) {
        const std::uint8_t op = input.Byte();
        switch (op % 4) {
            case 0:
            case 1: {
                // Mostly small packets, so wraps happen; a few operation codes ask for any size.
                std::uint16_t length = input.Word();
                if (op < 0xF8) {
                    length %= 300;
                }
                // Bytes that tell packets apart; no per-byte loops, which instrumentation
                // makes slow.
                std::vector<std::uint8_t> bytes(length, static_cast<std::uint8_t>(nextId * 7));
                if (length != 0) {
                    std::memcpy(bytes.data(), &nextId, std::min<std::size_t>(length, 2));
                }
                Check(queue.InsertData(nextId, bytes.data(), length));
                model.push_back({nextId++, std::move(bytes)});
                held += 4u + length;
                break;
            }
            case 2: {
                std::uint16_t room = input.Word();
                if ((op & 0x80) == 0) {
                    room = 65535;
                }
                tagDataHead head{};
                if (model.empty()) {
                    Check(!queue.DistillData(head, out.data(), room));
                    break;
                }
                Check(queue.DistillData(head, out.data(), room));
                const Packet& expected = model.front();
                Check(head.wPacketId == expected.id);
                if (expected.bytes.size() > room) {
                    Check(head.wPayloadSize == 0);
                } else {
                    Check(head.wPayloadSize == expected.bytes.size());
                    Check(expected.bytes.empty() || std::memcmp(out.data(), expected.bytes.data(),
                                                                expected.bytes.size()) == 0);
                }
                held -= 4u + static_cast<std::uint32_t>(expected.bytes.size());
                model.pop_front();
                break;
            }
            default:
                queue.RemoveData((op & 0x80) != 0);
                model.clear();
                held = 0;
                break;
        }
        tagBurthenInfo info{};
        Check(queue.GetBurthenInfo(info));
        Check(info.dwHeldBytes == held);
        Check(info.dwPackets == model.size());
        Check(info.dwHeldBytes <= info.dwCapacity);
    }
    return 0;
}

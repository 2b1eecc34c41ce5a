#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "harbex/DataQueue.h"
#include "queue/DataQueueGrowth.h"

namespace {

using harbex::queue_detail::GrownBufferSize;

// Payload bytes that differ per packet, so a mixed-up packet shows.
std::vector<std::uint8_t> Payload(std::uint16_t id, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(id * 31 + i * 7 + (i >> 8));
    }
    return bytes;
}

bool Insert(CDataQueue& queue, std::uint16_t id, std::size_t size) {
    const std::vector<std::uint8_t> bytes = Payload(id, size);
    return queue.InsertData(id, bytes.data(), static_cast<std::uint16_t>(size));
}

// Bytes of a destination after the payload that must keep their value.
constexpr std::size_t kGuardBytes = 300;

// True when out[from, from + kGuardBytes) still holds `fill`.
bool GuardIntact(const std::vector<std::uint8_t>& out, std::size_t from, std::uint8_t fill) {
    return std::all_of(out.begin() + static_cast<std::ptrdiff_t>(from),
                       out.begin() + static_cast<std::ptrdiff_t>(from + kGuardBytes),
                       [fill](std::uint8_t b) { return b == fill; });
}

// Distills one packet and checks it is packet `id` of `size` bytes, whole, and that nothing
// after it in the destination was written.
void ExpectNext(CDataQueue& queue, std::uint16_t id, std::size_t size) {
    std::vector<std::uint8_t> out(65535 + kGuardBytes, 0xEE);
    tagDataHead head{0xFFFF, 0xFFFF};
    ASSERT_TRUE(queue.DistillData(head, out.data(), 65535));
    EXPECT_EQ(head.wPacketId, id);
    ASSERT_EQ(head.wPayloadSize, size);
    EXPECT_TRUE(GuardIntact(out, size, 0xEE)) << "packet " << id;
    out.resize(size);
    EXPECT_EQ(out, Payload(id, size)) << "packet " << id;
}

#if defined(_WIN32)
constexpr bool kTracesVisible = false;  // they go to the debugger
#else
constexpr bool kTracesVisible = true;  // they go to standard error
#endif

// Collects the queue's trace lines while it lives.
class TraceCapture {
public:
    TraceCapture() {
        if (kTracesVisible) {
            testing::internal::CaptureStderr();
        }
    }
    ~TraceCapture() { Take(); }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    std::string Take() {
        if (!kTracesVisible || taken_) {
            return {};
        }
        taken_ = true;
        return testing::internal::GetCapturedStderr();
    }

private:
    bool taken_ = false;
};

tagBurthenInfo Burthen(CDataQueue& queue) {
    tagBurthenInfo info{};
    EXPECT_TRUE(queue.GetBurthenInfo(info));
    return info;
}

void ExpectBurthen(CDataQueue& queue, std::uint32_t held, std::uint32_t capacity,
                   std::uint32_t packets) {
    const tagBurthenInfo info = Burthen(queue);
    EXPECT_EQ(info.dwHeldBytes, held);
    EXPECT_EQ(info.dwCapacity, capacity);
    EXPECT_EQ(info.dwPackets, packets);
}

TEST(DataQueueGrowth, GainsTenPacketsOrHalfAndRefusesToPass4GiB) {
    EXPECT_EQ(GrownBufferSize(0, 16), 200u);
    EXPECT_EQ(GrownBufferSize(1000, 10), 1500u);
    EXPECT_EQ(GrownBufferSize(1000, 200), 3040u);
    EXPECT_EQ(GrownBufferSize(0, 65535), 655390u);
    // The largest buffer that may still grow by half, and the first that may not.
    EXPECT_EQ(GrownBufferSize(2863311530u, 0), 4294967295u);
    EXPECT_EQ(GrownBufferSize(2863311531u, 0), 0u);
    EXPECT_EQ(GrownBufferSize(4294967295u, 65535), 0u);
    EXPECT_EQ(GrownBufferSize(4294967295u - 655390u, 65535), 0u);
}

TEST(DataQueue, NewQueueIsEmptyAndHasNothingToDistill) {
    CDataQueue queue;
    ExpectBurthen(queue, 0, 0, 0);
    tagDataHead head{11, 22};
    std::uint8_t out[8] = {};
    EXPECT_FALSE(queue.DistillData(head, out, sizeof out));
    EXPECT_EQ(head.wPayloadSize, 11);
    EXPECT_EQ(head.wPacketId, 22);
}

TEST(DataQueue, FirstInsertMakesRoomForTenPacketsWithoutTrace) {
    CDataQueue queue;
    TraceCapture traces;
    ASSERT_TRUE(Insert(queue, 1, 16));
    EXPECT_EQ(traces.Take(), "");
    ExpectBurthen(queue, 20, 200, 1);
    ExpectNext(queue, 1, 16);
    ExpectBurthen(queue, 0, 200, 0);
}

TEST(DataQueue, FullBufferGrowsByHalfOrTenPacketsAndKeepsOrder) {
    CDataQueue small;
    for (std::uint16_t id = 0; id < 10; ++id) {
        ASSERT_TRUE(Insert(small, id, 96));
    }
    ExpectBurthen(small, 1000, 1000, 10);
    TraceCapture traces;
    ASSERT_TRUE(Insert(small, 10, 10));
    if (kTracesVisible) {
        EXPECT_EQ(traces.Take(),
                  "@Data@=>m_dwTerminalPos=[1000]@@@m_dwDataSize=[1000]@@@m_dwDataQueryPos=[0]\n");
    }
    ExpectBurthen(small, 1014, 1500, 11);

    CDataQueue large;
    for (std::uint16_t id = 0; id < 10; ++id) {
        ASSERT_TRUE(Insert(large, id, 96));
    }
    ASSERT_TRUE(Insert(large, 10, 200));
    ExpectBurthen(large, 1204, 3040, 11);

    for (std::uint16_t id = 0; id < 10; ++id) {
        ExpectNext(small, id, 96);
        ExpectNext(large, id, 96);
    }
    ExpectNext(small, 10, 10);
    ExpectNext(large, 10, 200);
}

TEST(DataQueue, LargestAndEmptyPayloadsRoundTrip) {
    CDataQueue queue;
    ASSERT_TRUE(Insert(queue, 5, 65535));
    ASSERT_TRUE(queue.InsertData(6, nullptr, 0));
    ASSERT_TRUE(Insert(queue, 7, 65535));
    ExpectBurthen(queue, 2 * 65539 + 4, 655390, 3);

    ExpectNext(queue, 5, 65535);
    std::uint8_t out[4] = {1, 2, 3, 4};
    tagDataHead head{};
    ASSERT_TRUE(queue.DistillData(head, out, sizeof out));
    EXPECT_EQ(head.wPacketId, 6);
    EXPECT_EQ(head.wPayloadSize, 0);
    EXPECT_EQ(out[0], 1);  // nothing copied
    ExpectNext(queue, 7, 65535);
    ExpectBurthen(queue, 0, 655390, 0);
    EXPECT_FALSE(queue.DistillData(head, out, sizeof out));
}

TEST(DataQueue, MissingPayloadIsRefused) {
    CDataQueue queue;
    EXPECT_FALSE(queue.InsertData(1, nullptr, 3));
    ExpectBurthen(queue, 0, 0, 0);
}

TEST(DataQueue, PacketsKeepTheirOrderAcrossAWrap) {
    CDataQueue queue;
    for (std::uint16_t id = 0; id < 10; ++id) {
        ASSERT_TRUE(Insert(queue, id, 16));  // 200 bytes, full
    }
    ExpectNext(queue, 0, 16);
    ExpectNext(queue, 1, 16);
    ASSERT_TRUE(Insert(queue, 10, 16));  // goes to the start
    ASSERT_TRUE(Insert(queue, 11, 16));  // ends exactly at the read position
    ExpectBurthen(queue, 200, 200, 10);
    for (std::uint16_t id = 2; id < 12; ++id) {
        ExpectNext(queue, id, 16);
    }
    ExpectBurthen(queue, 0, 200, 0);
}

TEST(DataQueue, GrowingAWrappedQueueStraightensIt) {
    CDataQueue queue;
    for (std::uint16_t id = 0; id < 10; ++id) {
        ASSERT_TRUE(Insert(queue, id, 16));
    }
    for (std::uint16_t id = 0; id < 3; ++id) {
        ExpectNext(queue, id, 16);
    }
    ASSERT_TRUE(Insert(queue, 10, 16));  // wraps
    TraceCapture traces;
    ASSERT_TRUE(Insert(queue, 11, 40));  // does not fit before the read position
    if (kTracesVisible) {
        EXPECT_EQ(traces.Take(),
                  "@Data@=>m_dwTerminalPos=[200]@@@m_dwDataSize=[160]@@@m_dwDataQueryPos=[60]\n");
    }
    ExpectBurthen(queue, 204, 640, 9);
    for (std::uint16_t id = 3; id < 11; ++id) {
        ExpectNext(queue, id, 16);
    }
    ExpectNext(queue, 11, 40);
}

TEST(DataQueue, FullWrapEndingAtTheTailsEndStillReadsInOrder) {
    // Write, read and tail-end positions all meet while the queue is full of newer data; a
    // packet small enough for the free room behind the tail must not be put there.
    CDataQueue queue;
    std::uint16_t next = 0;
    ASSERT_TRUE(Insert(queue, next++, 18));  // 22 bytes, buffer 220
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(Insert(queue, next++, 16));
    }
    ASSERT_TRUE(Insert(queue, next++, 24));  // tail ends at 210
    ExpectNext(queue, 0, 18);
    ASSERT_TRUE(Insert(queue, next++, 16));  // wraps to the start
    for (std::uint16_t id = 1; id < 10; ++id) {
        ExpectNext(queue, id, id == 9 ? 24 : 16);
    }
    for (int i = 0; i < 9; ++i) {
        ASSERT_TRUE(Insert(queue, next++, 16));
    }
    ASSERT_TRUE(Insert(queue, next++, 6));  // ends exactly at 210
    ExpectBurthen(queue, 210, 220, 11);

    const std::uint16_t first = 10;
    const std::uint16_t small = next;
    ASSERT_TRUE(queue.InsertData(small, nullptr, 0));
    ExpectBurthen(queue, 214, 220 + 220 / 2, 12);
    for (std::uint16_t id = first; id < small; ++id) {
        ExpectNext(queue, id, id == small - 1 ? 6 : 16);
    }
    ExpectNext(queue, small, 0);
    ExpectBurthen(queue, 0, 330, 0);
}

TEST(DataQueue, FullWrapIsReadInOrderWithoutGrowing) {
    // Same meeting point, read out without a further insertion.
    CDataQueue queue;
    for (std::uint16_t id = 0; id < 10; ++id) {
        ASSERT_TRUE(Insert(queue, id, 16));
    }
    for (std::uint16_t id = 0; id < 10; ++id) {
        ExpectNext(queue, id, 16);
    }
    for (std::uint16_t id = 10; id < 20; ++id) {
        ASSERT_TRUE(Insert(queue, id, 16));  // first one wraps, last one meets the reader
    }
    ExpectBurthen(queue, 200, 200, 10);
    for (std::uint16_t id = 10; id < 20; ++id) {
        ExpectNext(queue, id, 16);
    }
}

TEST(DataQueue, WrappedWriterStopsShortOfTheUnreadPackets) {
    // A payload of up to 256 bytes may be written as whole blocks reaching 256 bytes past its
    // start; behind a wrapped writer they must end at the oldest unread packet at the latest.
    // The writer ends 260 bytes before it (the blocks just fit) or 259 (they do not).
    for (std::uint16_t first : {36, 37}) {
        CDataQueue queue;
        ASSERT_TRUE(Insert(queue, 0, 60));   // [0, 64) of a 640-byte buffer
        ASSERT_TRUE(Insert(queue, 1, 232));  // [64, 300)
        ASSERT_TRUE(Insert(queue, 2, 17));   // [300, 321): its head's low byte is not 0
        ASSERT_TRUE(Insert(queue, 3, 300));  // [321, 625)
        ExpectNext(queue, 0, 60);
        ExpectNext(queue, 1, 232);
        ASSERT_TRUE(Insert(queue, 4, first));  // wraps: [0, 40) or [0, 41)
        ASSERT_TRUE(Insert(queue, 5, 100));
        ExpectBurthen(queue, 325 + 4 + first + 104, 640, 4);
        ExpectNext(queue, 2, 17);
        ExpectNext(queue, 3, 300);
        ExpectNext(queue, 4, first);
        ExpectNext(queue, 5, 100);
    }
}

TEST(DataQueue, TooSmallDestinationDropsOnlyThatPacket) {
    CDataQueue queue;
    ASSERT_TRUE(Insert(queue, 1, 50));
    ASSERT_TRUE(Insert(queue, 2, 49));

    std::vector<std::uint8_t> out(49, 0xEE);
    tagDataHead head{};
    ASSERT_TRUE(queue.DistillData(head, out.data(), 49));
    EXPECT_EQ(head.wPacketId, 1);
    EXPECT_EQ(head.wPayloadSize, 0);
    EXPECT_EQ(out, std::vector<std::uint8_t>(49, 0xEE));
    ExpectBurthen(queue, 53, 540, 1);

    ASSERT_TRUE(queue.DistillData(head, out.data(), 49));
    EXPECT_EQ(head.wPacketId, 2);
    EXPECT_EQ(head.wPayloadSize, 49);
    EXPECT_EQ(out, Payload(2, 49));
}

TEST(DataQueue, RemoveDataEmptiesAndOptionallyFrees) {
    CDataQueue queue;
    ASSERT_TRUE(Insert(queue, 1, 16));
    ASSERT_TRUE(Insert(queue, 2, 16));
    queue.RemoveData(false);
    ExpectBurthen(queue, 0, 200, 0);
    tagDataHead head{};
    std::uint8_t out[16];
    EXPECT_FALSE(queue.DistillData(head, out, sizeof out));

    ASSERT_TRUE(Insert(queue, 3, 16));  // reuses the buffer
    ExpectBurthen(queue, 20, 200, 1);
    ExpectNext(queue, 3, 16);

    ASSERT_TRUE(Insert(queue, 4, 16));
    queue.RemoveData(true);
    ExpectBurthen(queue, 0, 0, 0);
    ASSERT_TRUE(Insert(queue, 5, 6));  // starts over as a new queue
    ExpectBurthen(queue, 10, 100, 1);
    ExpectNext(queue, 5, 6);
}

// Random operations against a std::deque model: order, contents, sizes and the load report,
// including growth by the documented amount and never shrinking.
TEST(DataQueue, BehavesLikeADequeUnderRandomUse) {
    struct Packet {
        std::uint16_t id;
        std::uint16_t size;
    };
    TraceCapture traces;
    std::size_t laterGrowths = 0;  // each writes one trace line
    for (std::uint32_t seed = 1; seed <= 400; ++seed) {
        std::mt19937 random(seed);
        CDataQueue queue;
        std::deque<Packet> model;
        std::uint32_t held = 0;
        std::uint32_t capacity = 0;
        std::uint16_t nextId = 0;
        // A few small sizes per run and bursts of one kind of operation make wraps and the
        // writer meeting the reader frequent; rare large packets force growth.
        const std::uint16_t sizes[] = {0, 1, 4, 12, 16, 28, 60, 200, 255, 256, 257, 1000};
        const std::uint16_t palette[] = {sizes[random() % std::size(sizes)],
                                         sizes[random() % std::size(sizes)],
                                         sizes[random() % std::size(sizes)]};
        std::vector<std::uint8_t> out(65535 + kGuardBytes);
        std::uint32_t action = 0;
        int burst = 0;

        for (int step = 0; step < 3000; ++step) {
            if (burst-- <= 0) {
                action = random() % 100;
                burst = static_cast<int>(random() % 12);
            }
            if (action < 52) {
                std::uint16_t size = palette[random() % std::size(palette)];
                if (random() % 500 == 0) {
                    size = static_cast<std::uint16_t>(random());
                }
                ASSERT_TRUE(Insert(queue, nextId, size));
                const std::uint32_t now = Burthen(queue).dwCapacity;
                if (now != capacity) {
                    ASSERT_EQ(now, GrownBufferSize(capacity, size)) << "seed " << seed;
                    laterGrowths += capacity != 0 ? 1 : 0;
                    capacity = now;
                }
                model.push_back({nextId++, size});
                held += 4u + size;
            } else if (action < 99) {
                tagDataHead head{};
                if (model.empty()) {
                    ASSERT_FALSE(queue.DistillData(head, out.data(), 65535));
                    continue;
                }
                const Packet expected = model.front();
                model.pop_front();
                held -= 4u + expected.size;
                const bool tight = expected.size != 0 && random() % 10 == 0;
                const std::uint16_t room = tight ? expected.size - 1 : 65535;
                const auto fill = static_cast<std::uint8_t>(step);
                std::fill_n(out.begin() + expected.size, kGuardBytes, fill);
                ASSERT_TRUE(queue.DistillData(head, out.data(), room));
                ASSERT_TRUE(GuardIntact(out, expected.size, fill))
                    << "seed " << seed << " step " << step;
                ASSERT_EQ(head.wPacketId, expected.id) << "seed " << seed << " step " << step;
                if (tight) {
                    ASSERT_EQ(head.wPayloadSize, 0);
                } else {
                    ASSERT_EQ(head.wPayloadSize, expected.size);
                    ASSERT_TRUE(std::equal(out.begin(), out.begin() + expected.size,
                                           Payload(expected.id, expected.size).begin()))
                        << "seed " << seed << " step " << step;
                }
            } else {
                const bool free = random() % 2 == 0;
                queue.RemoveData(free);
                model.clear();
                held = 0;
                if (free) {
                    capacity = 0;
                }
            }
            const tagBurthenInfo info = Burthen(queue);
            ASSERT_EQ(info.dwHeldBytes, held) << "seed " << seed << " step " << step;
            ASSERT_EQ(info.dwPackets, model.size());
            ASSERT_EQ(info.dwCapacity, capacity);
            ASSERT_LE(info.dwHeldBytes, info.dwCapacity);
        }
    }
    if (kTracesVisible) {
        const std::string lines = traces.Take();
        EXPECT_EQ(static_cast<std::size_t>(std::count(lines.begin(), lines.end(), '\n')),
                  laterGrowths);
    }
    EXPECT_GT(laterGrowths, 100u);
}

}  // namespace
